#include "app/update_run.h"

#include "app/links.h"
#include "app/profile_vocabulary.h"
#include "platform/file_operations.h"
#include "platform/path_trust.h"
#include "profile/ini_file.h"
#include "profile/integer_text.h"

namespace quenmoor::app {
namespace {

// The space and every control character below it are cut from both ends; U+007F and above stay.
std::u16string_view TrimSpaceAndControls(std::u16string_view text) {
    const auto isBlank = [](char16_t c) { return c < 33; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

void VisitSection(const LinkVisitor& visit, const std::u16string& Section) {
    visit(FaqLink, Section, std::u16string(FaqLinkKey));
    visit(PortalLink, Section, std::u16string(PortalLinkKey));
}

}  // namespace

std::u16string BranchSectionName(int n) {
    std::u16string digits(1, u'0');
    digits += profile::IntegerToText(n);
    return std::u16string(BranchSectionPrefix) + digits.substr(digits.size() - 2);
}

std::optional<std::int32_t> VersionPastTheGate(profile::TCustomIniFile& Profile) {
    const std::int32_t version =
        Profile.ReadInteger(std::u16string(DefaultSection), std::u16string(VersionKey), 0);
    if (version == 0) {
        return std::nullopt;
    }
    return version;
}

void ForEachLink(const LinkVisitor& visit) {
    VisitSection(visit, std::u16string(DefaultSection));
    for (int branch = 0; branch < BranchCount; ++branch) {
        VisitSection(visit, BranchSectionName(branch));
    }
}

LinkState ReadLinkState(profile::TCustomIniFile& Profile, std::u16string_view Value,
                        const std::u16string& Section, const std::u16string& Ident) {
    const std::u16string current = Profile.ReadString(Section, Ident, u"");
    const std::u16string_view trimmed = TrimSpaceAndControls(current);
    if (trimmed.empty()) {
        return LinkState::Blank;
    }
    return trimmed == Value ? LinkState::Current : LinkState::Stale;
}

void RefreshLink(profile::TCustomIniFile& Profile, std::u16string_view Value,
                 const std::u16string& Section, const std::u16string& Ident) {
    if (ReadLinkState(Profile, Value, Section, Ident) == LinkState::Stale) {
        Profile.WriteString(Section, Ident, std::u16string(Value));
    }
}

bool UpdateProfile(profile::TCustomIniFile& Profile) {
    const auto version = VersionPastTheGate(Profile);
    if (!version) {
        return false;
    }
    ForEachLink(
        [&Profile](std::u16string_view Value, const std::u16string& Section,
                   const std::u16string& Ident) { RefreshLink(Profile, Value, Section, Ident); });
    // The counter wraps like a 32-bit register: 2147483647 is followed by -2147483648.
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(*version) + 1U);
    Profile.WriteInteger(std::u16string(DefaultSection), std::u16string(VersionKey), next);
    return true;
}

void RunUpdate(const std::u16string& SourcePath, const std::u16string& TargetPath) {
    // Held until the copy is made, so what was tested is what the run goes through.
    const platform::HeldPaths held(SourcePath, TargetPath);
    // A service's run on paths that someone else could redirect would write and copy with the
    // service's rights wherever they chose; an ordinary user's run could not do more than they
    // can do by hand, and goes on as it always did.
    if (held.Fault() && platform::RunsAsServiceIdentity()) {
        return;
    }
    // A profile that is not held could vanish before the first write, which would make it anew.
    if (!platform::FileExists(SourcePath) || !held.ProfileHeld()) {
        return;
    }
    bool updated = false;
    {
        // Destroying the profile makes the flush call, also when a failure leaves this scope,
        // so the copy below is taken from the flushed file.
        profile::TIniFile profile(SourcePath);
        updated = UpdateProfile(profile);
    }
    if (updated) {
        // A refused copy (target present, folder missing) is not a failure of the run.
        static_cast<void>(platform::CopyFileNoOverwrite(SourcePath, TargetPath));
    }
}

}  // namespace quenmoor::app
