// What the generator makes, and what it leaves out on purpose: every case it never makes is a
// behaviour listed in docs/profile-differences.md, named here by its row.
#include "differential/batch_generator.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "differential/random_source.h"
#include "posix/utf16_bytes.h"

namespace quenmoor::differential {
namespace {

// How the start file is stored. Files without a mark hold ASCII, or ASCII with Windows-1252
// letters that are not well-formed UTF-8: UTF-8 without a mark is never made (row
// "utf8-without-mark"), and text Windows-1252 cannot carry goes only into files with a mark (row
// "beyond-windows-1252-without-mark").
enum class Form { Missing, Empty, Ascii, Windows1252, Utf8Mark, Utf16Le, Utf16Be };
constexpr std::size_t FormCount = 7;

// By their make-up the lists below also leave out: the empty section name (row
// "keys-before-any-section"), key names starting with ";" (row "semicolon-key-names"), headers
// without "]" (row "header-without-closing-bracket"), blanks other than spaces and tabs (row
// "other-white-space"), names and values that our layer refuses to write (row "refused-writes")
// and files with NUL bytes or half UTF-16 code units (row "unsafe-files").

// A word in its lower and upper case forms, of equal length, so any mix of the two can be made.
struct Word {
    std::u16string_view lower;
    std::u16string_view upper;
};

constexpr auto AsciiSections = std::to_array<Word>({
    {u"default", u"DEFAULT"},
    {u"filial_01", u"FILIAL_01"},
    {u"net", u"NET"},
    {u"zona sul", u"ZONA SUL"},
});
constexpr auto LatinSections = std::to_array<Word>({
    {u"\u00e9dition", u"\u00c9DITION"},
    {u"s\u00fcd", u"S\u00dcD"},
});
constexpr auto WideSections = std::to_array<Word>({
    {u"\u03c9mega", u"\u03a9MEGA"},
    {u"\u0434\u043e\u043c", u"\u0414\u041e\u041c"},
});
constexpr auto AsciiKeys = std::to_array<Word>({
    {u"versao", u"VERSAO"},
    {u"chamada_atend", u"CHAMADA_ATEND"},
    {u"port", u"PORT"},
    {u"name", u"NAME"},
    {u"#hash", u"#HASH"},
});
constexpr auto LatinKeys = std::to_array<Word>({
    {u"cl\u00e9", u"CL\u00c9"},
    {u"ma\u00e7\u00e3", u"MA\u00c7\u00c3"},
});
constexpr auto WideKeys = std::to_array<Word>({
    {u"\u043a\u043b\u044e\u0447", u"\u041a\u041b\u042e\u0427"},
});

constexpr auto AsciiValues = std::to_array<std::u16string_view>({
    u"1",
    u"0",
    u"-7",
    u"abc",
    u"two words",
    u"a=b",
    u"x;y",
    u"\"quoted\"",
    u"'single'",
    u"\"half",
    u"'mixed\"",
    u"\"\"",
    u"  padded  ",
    u"",
    u"C:\\Ostrel\\Quenmoor.ini",
    u"https://h.example/?h=%hash%&u=%user%",
    u"[not a section]",
    u";not a comment",
});
constexpr auto LatinValues = std::to_array<std::u16string_view>({
    u"\u00e9t\u00e9",
    u"\u00c7a \u00fc",
    u"Jos\u00e9",
});
constexpr auto WideValues = std::to_array<std::u16string_view>({
    u"\u4e2d\u6587",
    u"\u03a9 \u0434",
    u"\U0001F600",
});

// Lines that are neither headers, comments nor key lines. None spells a key name that is asked
// for (row "line-without-equals").
constexpr auto BareLines = std::to_array<std::u16string_view>({
    u"stray words",
    u"Lonely",
    u"  indented text",
    u"\"quoted line\"",
});
constexpr auto Comments = std::to_array<std::u16string_view>({
    u"; comment",
    u";",
    u"  ; indented = comment",
    u";[DEFAULT]",
    u"; VERSAO=9",
});
constexpr auto Padding = std::to_array<std::u16string_view>({u" ", u"\t", u"  ", u" \t"});
// Never quoted (row "quoted-default") and never nothing but spaces (row "all-space-default").
constexpr auto Defaults =
    std::to_array<std::u16string_view>({u"", u"dflt", u"d e f", u"dflt  ", u" d e f "});
constexpr auto BufferSizes = std::to_array<std::size_t>({1, 2, 3, 5, 8});

constexpr std::size_t ReadBufferSize = 256;

// UTF-8 with its mark; the word lists hold no unpaired surrogate.
std::string Utf8Bytes(std::u16string_view text) {
    std::string bytes = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            code = 0x10000 + ((code - 0xD800) << 10U) + (text[++i] - 0xDC00U);
        }
        const auto byte = [&bytes](char32_t value) { bytes.push_back(static_cast<char>(value)); };
        if (code < 0x80) {
            byte(code);
        } else if (code < 0x800) {
            byte(0xC0 | (code >> 6U));
            byte(0x80 | (code & 0x3FU));
        } else if (code < 0x10000) {
            byte(0xE0 | (code >> 12U));
            byte(0x80 | ((code >> 6U) & 0x3FU));
            byte(0x80 | (code & 0x3FU));
        } else {
            byte(0xF0 | (code >> 18U));
            byte(0x80 | ((code >> 12U) & 0x3FU));
            byte(0x80 | ((code >> 6U) & 0x3FU));
            byte(0x80 | (code & 0x3FU));
        }
    }
    return bytes;
}

std::u16string TrimBlanks(std::u16string_view name) {
    const auto first = name.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos) {
        return {};
    }
    return std::u16string(name.substr(first, name.find_last_not_of(u" \t") + 1 - first));
}

class SequenceMaker {
  public:
    SequenceMaker(std::uint64_t id, std::uint64_t seed) : random_(seed) { sequence_.id = id; }

    Sequence Make() {
        form_ = static_cast<Form>(random_.Below(FormCount));
        ChooseWords();
        MakeStartFile();
        MakeNames();
        const std::size_t count = 1 + random_.Below(10);
        for (std::size_t i = 0; i < count; ++i) {
            MakeOperation();
        }
        return std::move(sequence_);
    }

  private:
    [[nodiscard]] bool Latin() const { return form_ != Form::Ascii; }
    [[nodiscard]] bool Wide() const {
        return form_ == Form::Utf8Mark || form_ == Form::Utf16Le || form_ == Form::Utf16Be;
    }

    template <std::size_t N>
    void Take(const std::array<Word, N>& from, std::vector<Word>& to) {
        for (const Word& word : from) {
            if (random_.Chance(60)) {
                to.push_back(word);
            }
        }
    }

    void ChooseWords() {
        Take(AsciiSections, sections_);
        Take(AsciiKeys, keys_);
        if (Latin()) {
            Take(LatinSections, sections_);
            Take(LatinKeys, keys_);
        }
        if (Wide()) {
            Take(WideSections, sections_);
            Take(WideKeys, keys_);
        }
        if (sections_.empty()) {
            sections_.push_back(AsciiSections[0]);
        }
        if (keys_.empty()) {
            keys_.push_back(AsciiKeys[0]);
        }
    }

    // The word in a random mix of letter cases. Letters outside ASCII keep the case they have
    // in the word list (row "non-ascii-letter-case").
    std::u16string Cased(const Word& word) {
        const std::size_t style = random_.Below(3);
        std::u16string mixed;
        for (std::size_t i = 0; i < word.lower.size(); ++i) {
            const bool upper = style == 0 || (style == 2 && random_.Chance(50));
            mixed.push_back(upper && word.upper[i] < 0x80 ? word.upper[i] : word.lower[i]);
        }
        return mixed;
    }

    std::u16string Pad() {
        return random_.Chance(25) ? std::u16string(random_.Pick(Padding)) : u"";
    }

    std::u16string Section() { return Section(random_.Pick(sections_)); }
    std::u16string Section(const Word& word) { return Pad() + Cased(word) + Pad(); }
    std::u16string Key() { return Pad() + Cased(random_.Pick(keys_)) + Pad(); }

    std::u16string Value() {
        if (random_.Chance(3)) {
            return std::u16string(300, u'v') + u" longer than a read buffer";
        }
        if (Wide() && random_.Chance(15)) {
            return std::u16string(random_.Pick(WideValues));
        }
        if (random_.Chance(15)) {
            return std::u16string(random_.Pick(LatinValues));
        }
        return std::u16string(random_.Pick(AsciiValues));
    }

    std::u16string Line() {
        const std::size_t kind = random_.Below(100);
        if (kind < 10) {
            return std::u16string(random_.Pick(Comments));
        }
        if (kind < 18) {
            return random_.Chance(50) ? u"" : Pad();
        }
        if (kind < 24) {
            return std::u16string(random_.Pick(BareLines));
        }
        if (kind < 42) {
            const Word& word = random_.Pick(sections_);
            const bool repeated =
                std::find(headers_.begin(), headers_.end(), word.lower) != headers_.end();
            duplicateSections_ = duplicateSections_ || repeated;
            headers_.push_back(word.lower);
            std::u16string header = Pad() + u"[" + Section(word) + u"]";
            if (random_.Chance(15)) {
                header += u" ; tail";
            }
            return header;
        }
        return Pad() + Key() + u"=" + Pad() + Value() + Pad();
    }

    // The file's own line end, and now and then another one.
    std::u16string_view LineEnd(std::size_t style) {
        constexpr auto Ends = std::to_array<std::u16string_view>({u"\r\n", u"\n", u"\r"});
        return Ends[random_.Chance(5) ? random_.Below(Ends.size()) : style];
    }

    void MakeStartFile() {
        if (form_ == Form::Missing) {
            return;
        }
        std::u16string text;
        if (form_ != Form::Empty) {
            const std::size_t style = random_.Below(10) < 4 ? 0 : random_.Below(3);
            const std::size_t lines = random_.Below(16);
            for (std::size_t i = 0; i < lines; ++i) {
                text += Line();
                if (i + 1 < lines || random_.Chance(70)) {
                    text += LineEnd(style);
                }
            }
        }
        sequence_.startBytes = Encoded(text);
    }

    [[nodiscard]] std::string Encoded(std::u16string_view text) const {
        switch (form_) {
            case Form::Utf8Mark:
                return Utf8Bytes(text);
            case Form::Utf16Le:
            case Form::Utf16Be:
                return test::Utf16(text, form_ == Form::Utf16Le);
            case Form::Missing:
            case Form::Empty:
            case Form::Ascii:
            case Form::Windows1252:
                break;
        }
        // Only ASCII and Latin-1 letters reach here, each one byte in Windows-1252.
        return {text.begin(), text.end()};
    }

    void MakeNames() {
        for (const Word& section : sections_) {
            for (const Word& key : keys_) {
                sequence_.names.push_back(
                    {std::u16string(section.lower), std::u16string(key.lower)});
            }
        }
    }

    void MakeOperation() {
        const std::size_t kind = random_.Below(100);
        Operation op;
        op.section = Section();
        if (kind < 45) {
            op.kind = OperationKind::Read;
            op.key = Key();
            op.value = std::u16string(random_.Pick(Defaults));
            op.bufferSize = random_.Chance(85) ? ReadBufferSize : random_.Pick(BufferSizes);
        } else {
            op.kind = OperationKind::Write;
            const bool removesSection = kind >= 92;
            // In a file with two sections of one name, a key removal becomes a value write (row
            // "key-removal-in-later-section").
            const bool removesKey = kind >= 80 && !removesSection && !duplicateSections_;
            if (!removesSection) {
                op.key = Key();
            }
            if (!removesSection && !removesKey) {
                op.value = Value();
            } else {
                // Removals name the section and key without blanks around them (row
                // "blanks-around-removed-names").
                op.section = TrimBlanks(op.section);
                if (op.key) {
                    op.key = TrimBlanks(*op.key);
                }
            }
        }
        sequence_.operations.push_back(std::move(op));
    }

    RandomSource random_;
    Sequence sequence_;
    Form form_ = Form::Ascii;
    std::vector<Word> sections_;
    std::vector<Word> keys_;
    std::vector<std::u16string_view> headers_;  // the start file's section names, in order
    bool duplicateSections_ = false;
};

}  // namespace

std::vector<Sequence> GenerateBatch(std::uint64_t seed, std::size_t count) {
    RandomSource seeds(seed);
    std::vector<Sequence> batch;
    batch.reserve(count);
    for (std::size_t id = 0; id < count; ++id) {
        batch.push_back(SequenceMaker(id, seeds.Next()).Make());
    }
    return batch;
}

}  // namespace quenmoor::differential
