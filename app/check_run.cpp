#include "app/check_run.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "app/links.h"
#include "app/profile_vocabulary.h"
#include "app/update_run.h"
#include "platform/file_operations.h"
#include "platform/path_trust.h"
#include "platform/process_exit.h"
#include "platform/process_hardening.h"
#include "profile/ini_file.h"

namespace quenmoor::app {
namespace {

// How many sections with stale links the line names before it only counts the rest.
constexpr std::size_t NamedSections = 4;

// The program's paths and names are ASCII already; anything else would be shown as '?'.
std::string Ascii(std::u16string_view text) {
    std::string ascii;
    for (const char16_t c : text) {
        ascii += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return ascii;
}

struct LinkTally {
    int present = 0;  // non-blank links
    int stale = 0;
    std::vector<std::u16string> staleSections;  // in the run's order, each once
};

LinkTally TallyLinks(profile::TCustomIniFile& Profile) {
    LinkTally tally;
    ForEachLink(
        [&](std::u16string_view Value, const std::u16string& Section, const std::u16string& Ident) {
            const LinkState state = ReadLinkState(Profile, Value, Section, Ident);
            tally.present += state != LinkState::Blank ? 1 : 0;
            if (state == LinkState::Stale) {
                ++tally.stale;
                if (tally.staleSections.empty() || tally.staleSections.back() != Section) {
                    tally.staleSections.push_back(Section);
                }
            }
        });
    return tally;
}

std::string DescribeLinks(const LinkTally& tally) {
    const std::string present = std::to_string(tally.present);
    if (tally.stale == 0) {
        return "links current in " + present + " of " + present + " places";
    }
    std::string text =
        "links stale in " + std::to_string(tally.stale) + " of " + present + " places (";
    const std::size_t named = std::min(tally.staleSections.size(), NamedSections);
    for (std::size_t at = 0; at < named; ++at) {
        text += (at > 0 ? ", " : "") + Ascii(tally.staleSections[at]);
    }
    if (tally.staleSections.size() > named) {
        text += " and " + std::to_string(tally.staleSections.size() - named) + " more";
    }
    return text + ")";
}

}  // namespace

CheckResult RunCheck(const std::u16string& SourcePath, const std::u16string& TargetPath) {
    // Whatever identity runs the check, it answers whether the task would act here.
    const platform::HeldPaths held(SourcePath, TargetPath);
    if (const auto& fault = held.Fault()) {
        return {CheckStatus::Untrusted,
                "path not trusted: " + Ascii(fault->path) + " " + fault->reason};
    }
    if (!platform::FileExists(SourcePath)) {
        return {CheckStatus::NoProfile,
                "no profile: " + Ascii(SourcePath) + " is not an existing file"};
    }
    // The profile functions read an unreadable file as an empty one, which would look like a
    // closed version gate; a profile the run cannot hold is one it leaves alone.
    if (!held.ProfileHeld() || !platform::FileIsReadable(SourcePath)) {
        return {CheckStatus::Unreadable,
                "profile could not be read: " + Ascii(SourcePath) + " exists but cannot be read"};
    }
    profile::TReadOnlyIniFile profile(SourcePath);
    const auto version = VersionPastTheGate(profile);
    const LinkTally links = TallyLinks(profile);
    const bool copied = platform::FileExists(TargetPath);

    std::string line = DescribeLinks(links) + "; ";
    line += version ? "VERSAO=" + std::to_string(*version)
                    : "version gate closed (VERSAO 0, missing or not a number)";
    line += copied ? "; copy present" : "; copy missing";
    CheckStatus status = CheckStatus::Current;
    if (!version) {
        status = CheckStatus::GateClosed;
    } else if (links.stale > 0) {
        status = CheckStatus::WouldChange;
    } else if (!copied) {
        status = CheckStatus::CopyMissing;
    }
    return {status, std::move(line)};
}

CheckResult LabelForBuild(CheckResult result, BuildKind build) {
    std::string words;
    if (build.test) {
        words = "test build";
    }
    if (build.unconfigured) {
        words += (words.empty() ? "" : ", ") + std::string("unconfigured build (example links)");
        if (result.status == CheckStatus::Current) {
            result.status = CheckStatus::Unconfigured;
        }
    }
    if (!words.empty()) {
        result.line = words + ": " + result.line;
    }
    return result;
}

void RunCheckProgram() noexcept {
    // The same paths as the update run, resolved the same way, so the check sees what it sees.
    platform::RefuseUntrustedJunctions();
    const BuildKind build{TestBuild, UnconfiguredBuild};
    auto status = CheckStatus::Unreadable;
    try {
        const CheckResult result = LabelForBuild(
            RunCheck(std::u16string(SourceProfilePath), std::u16string(TargetProfilePath)), build);
        static_cast<void>(std::fputs(result.line.c_str(), stdout));
        status = result.status;
    } catch (...) {
        // Reads never fail, so this is exhausted memory: the profile was not read to the end. The
        // label is made without the heap, which just ran out.
        const char* label = build.unconfigured ? "unconfigured build (example links): " : "";
        if (build.test) {
            label = build.unconfigured ? "test build, unconfigured build (example links): "
                                       : "test build: ";
        }
        static_cast<void>(std::fputs(label, stdout));
        static_cast<void>(std::fputs("profile could not be read: the check failed", stdout));
    }
    // Nobody is left to tell when standard output is closed or full; the status still says it.
    static_cast<void>(std::fputc('\n', stdout));
    static_cast<void>(std::fflush(stdout));
    platform::ExitProcess(static_cast<std::uint32_t>(status));
}

}  // namespace quenmoor::app
