// Line ends are found by word and by memchr over the bytes; the answer must be the plain one
// wherever the line end falls and whichever comes first.
#include <gtest/gtest.h>

#include <string>

#include "ini/text.h"

namespace quenmoor::ini {
namespace {

TEST(ProfileTextTest, FindsTheFirstLineEndAtEveryDistance) {
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        for (const std::string ends : {"\n", "\r", "\r\n", "\n\r"}) {
            for (std::size_t at = 0; at < 600; at += (at < 80 ? 1 : 37)) {
                // Other bytes, a non-ASCII one among them, before the line end and after it.
                std::string body(at, 'k');
                if (at > 3) {
                    body[at / 2] = '\xE9';
                }
                const std::string bytes = mark + body + ends + "tail\n";
                const ProfileText text(bytes);
                EXPECT_EQ(text.FindLineEnd(0, text.Size()), at) << "at " << at;
                EXPECT_EQ(text.FindLineEnd(0, at), at) << "limited at " << at;
                if (at > 0) {
                    EXPECT_EQ(text.FindLineEnd(at - 1, text.Size()), at) << "from " << at - 1;
                }
            }
        }
    }
    const std::string noLineEnd(1000, 'x');
    const ProfileText none(noLineEnd);
    EXPECT_EQ(none.FindLineEnd(3, 1000), 1000U);
    EXPECT_EQ(none.FindLineEnd(1000, 1000), 1000U);
}

}  // namespace
}  // namespace quenmoor::ini
