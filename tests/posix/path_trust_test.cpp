// The POSIX trust test of the run's two paths, over real folders below a drive root of the test's
// own: each way someone else could change where the run goes, and what is no fault.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/profile_vocabulary.h"
#include "platform/linux/trust_walk.h"
#include "support/temp_folder.h"

namespace quenmoor::platform::posix {
namespace {

constexpr uid_t Nobody = 65534;

struct TrustCase {
    const char* name;
    const char* change;    // shell commands on the sound layout, in the drive root
    std::u16string fault;  // the entry named by the first fault, empty for none
    std::string reason;    // and why
    bool profileHeld;
    std::size_t held;       // entries held: each of the six of both paths at most once
    bool asNobody = false;  // root searches any folder: the walk runs as nobody, for whom root's
                            // folders are as sound as for root
};

class TrustWalkTest : public testing::TestWithParam<TrustCase> {
  protected:
    void SetUp() override { Shell("umask 022 && chmod 755 . && mkdir -p $S $C && touch $P"); }
    // A folder that its own user may not search would keep the temporary folder.
    void TearDown() override { Shell("chmod 755 $S 2>/dev/null; true"); }

    void Shell(const std::string& commands) const {
        const std::string script = "cd '" + drive.Path().string() +
                                   "' && T=Ostrel/Tessarin && S=$T/Palvendo/Suporte && "
                                   "P=$S/Quenmoor.ini && C=$T/Programs && " +
                                   commands;
        ASSERT_EQ(std::system(script.c_str()), 0) << commands;
    }

    test::TempFolder drive;
};

TEST_P(TrustWalkTest, FindsTheFirstFault) {
    const TrustCase& c = GetParam();
    if (std::string(c.change).starts_with("chown") && ::geteuid() != 0) {
        GTEST_SKIP() << "only root can give an entry to another user";
    }
    Shell(c.change);
    const bool asNobody = c.asNobody && ::geteuid() == 0;
    ASSERT_TRUE(!asNobody || ::seteuid(Nobody) == 0);
    const TrustWalk walk =
        WalkTrusted(drive.Path().string(), std::u16string(app::SourceProfilePath),
                    std::u16string(app::TargetProfilePath));
    ASSERT_TRUE(!asNobody || ::seteuid(0) == 0);

    const auto found = walk.fault ? std::pair(walk.fault->path, walk.fault->reason)
                                  : std::pair<std::u16string, std::string>();
    EXPECT_EQ(found, std::pair(c.fault, c.reason));
    EXPECT_EQ(walk.profileHeld, c.profileHeld);
    EXPECT_EQ(walk.held.size(), c.held);
}

const std::u16string Tessarin = u"C:\\Ostrel\\Tessarin";
const std::u16string Palvendo = Tessarin + u"\\Palvendo";
const std::u16string Suporte = Palvendo + u"\\Suporte";
const std::u16string Profile = Suporte + u"\\Quenmoor.ini";
const std::u16string Programs = Tessarin + u"\\Programs";
const std::string Writable = "lets others add, remove or rename its entries (mode ";
const std::string OtherOwner = "is owned by user 65534, not root or the running user";

INSTANTIATE_TEST_SUITE_P(
    Layouts, TrustWalkTest,
    testing::Values(
        TrustCase{"Sound", "true", u"", "", true, 6},
        TrustCase{"ProfileOthersMayWrite", "chmod 666 $P", u"", "", true, 6},
        TrustCase{"NoCopyFolder", "rmdir $C", u"", "", true, 5},
        TrustCase{"NoProfile", "rm $P", u"", "", false, 5},
        // After a fault in a folder the profile is still held, by its name.
        TrustCase{"LinkOnThePath", "mv $T $T.real && ln -s Tessarin.real $T", Tessarin,
                  "is a symbolic link", true, 3},
        TrustCase{"FileForAFolder", "rmdir $C && touch $C", Programs, "is not a folder", true, 6},
        TrustCase{"OthersMayWrite", "chmod 757 $T/Palvendo", Palvendo, Writable + "0757)", true, 4},
        TrustCase{"GroupMayWrite", "chmod 775 $S", Suporte, Writable + "0775)", true, 5},
        TrustCase{"FolderOfAnotherUser", "chown 65534 $C", Programs, OtherOwner, true, 6},
        TrustCase{"ProfileOfAnotherUser", "chown 65534 $P", Profile, OtherOwner, true, 6},
        TrustCase{"ProfileIsALink", "mv $P $S/Real.ini && ln -s Real.ini $P", Profile,
                  "is a symbolic link", true, 6},
        TrustCase{"ProfileWithTwoNames", "ln $P Ostrel", Profile, "has 2 hard links", true, 6},
        // A plain folder at the profile's name is no profile, which the existence test reports.
        TrustCase{"FolderAtTheProfile", "rm $P && mkdir $P", u"", "", false, 5},
        TrustCase{"FifoAtTheProfile", "rm $P && mkfifo $P", Profile, "is not a plain file", true,
                  6},
        // A missing folder ends only its own path.
        TrustCase{"NoProfileFolder", "rm -r $T/Palvendo && chmod 777 $C", Programs,
                  Writable + "0777)", false, 3},
        // The profile's folders come first, then the copy's, then the profile.
        TrustCase{"FirstFaultWins", "chmod 777 $C && chmod 770 $S && ln $P Ostrel", Suporte,
                  Writable + "0770)", true, 5},
        TrustCase{"UnsearchableFolder", "chmod 600 $S", Profile,
                  "cannot be opened to test it (Permission denied)", false, 5, true}),
    [](const testing::TestParamInfo<TrustCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quenmoor::platform::posix
