// The profile functions alone: one read and one write of a link in the last branch section, the
// farthest from the start of the file, on a profile whose links are stale.
#include <array>
#include <string>

#include "app/links.h"
#include "bench/bench_case.h"
#include "bench/benchmarks.h"
#include "platform/profile_functions.h"

namespace quenmoor::bench {
namespace {

constexpr char16_t Section[] = u"FILIAL_99";
constexpr char16_t Key[] = u"CHAMADA_ATEND_PORTAL";
constexpr char16_t Missing[] = u"<missing>";

std::u16string ReadLink(const RunFiles& files) {
    std::array<char16_t, 2048> buffer{};
    const std::u16string fileName = files.SourceName();
    const auto count = platform::ReadProfileValue(Section, Key, Missing, buffer, fileName.c_str());
    return {buffer.data(), count};
}

}  // namespace

void RegisterProfileFunctionBenchmarks(const std::filesystem::path& root) {
    for (const ProfileSize size : AllSizes) {
        const std::string label(Label(size));
        Register(root,
                 {.name = "Read/" + label,
                  .size = size,
                  .state = LinkState::Stale,
                  .run = [](const RunFiles& files) { benchmark::DoNotOptimize(ReadLink(files)); },
                  .check = [](const RunFiles& files) -> std::string {
                      return ReadLink(files) == Missing ? "the link was not found" : "";
                  }});
        Register(root, {.name = "Write/" + label,
                        .size = size,
                        .state = LinkState::Stale,
                        .run =
                            [](const RunFiles& files) {
                                const std::u16string fileName = files.SourceName();
                                const std::u16string value(app::PortalLink);
                                if (!platform::WriteProfileValue(Section, Key, value.c_str(),
                                                                 fileName.c_str())) {
                                    throw std::runtime_error("the write was refused");
                                }
                            },
                        .check = [](const RunFiles& files) -> std::string {
                            return ReadLink(files) == app::PortalLink ? ""
                                                                      : "the link was not written";
                        }});
    }
}

}  // namespace quenmoor::bench
