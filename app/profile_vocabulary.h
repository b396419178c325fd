// The fixed paths, sections and keys of the update run.
#pragma once

#include <string_view>

namespace quenmoor::app {

// The profile that is read and updated in place.
inline constexpr std::u16string_view SourceProfilePath =
    u"C:\\Ostrel\\Tessarin\\Palvendo\\Suporte\\Quenmoor.ini";
// Where the updated profile is copied when no copy is there yet.
inline constexpr std::u16string_view TargetProfilePath =
    u"C:\\Ostrel\\Tessarin\\Programs\\Quenmoor.ini";

inline constexpr std::u16string_view DefaultSection = u"DEFAULT";
inline constexpr std::u16string_view VersionKey = u"VERSAO";
inline constexpr std::u16string_view FaqLinkKey = u"CHAMADA_ATEND_GLPI";
inline constexpr std::u16string_view PortalLinkKey = u"CHAMADA_ATEND_PORTAL";
inline constexpr std::u16string_view BranchSectionPrefix = u"FILIAL_";
// Branches are numbered 0 to BranchCount - 1.
inline constexpr int BranchCount = 100;

}  // namespace quenmoor::app
