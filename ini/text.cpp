#include "ini/text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace quenmoor::ini {
namespace {

constexpr std::size_t ShortLineWords = 8;
constexpr std::size_t Slice = 256;

// A mark in the high bit of the lowest byte of `word` that is CR or LF. (Bytes above the first
// such byte may be marked wrongly; only the lowest mark is used.)
std::uint64_t LineEndBytes(std::uint64_t word) {
    constexpr std::uint64_t Ones = 0x0101010101010101U;
    constexpr std::uint64_t Highs = 0x8080808080808080U;
    const auto zeroBytes = [](std::uint64_t value) { return (value - Ones) & ~value & Highs; };
    return zeroBytes(word ^ (Ones * '\r')) | zeroBytes(word ^ (Ones * '\n'));
}

}  // namespace

ProfileText::ProfileText(std::string_view bytes)
    : bytes_(bytes),
      encoding_(DetectEncoding(bytes)),
      unitSize_(UnitSize(encoding_.form)),
      size_((bytes.size() - encoding_.markSize) / unitSize_) {}

std::size_t ProfileText::Find(char16_t unit, std::size_t from, std::size_t to) const {
    if (unitSize_ != 1 || unit > 0xFF) {
        while (from < to && At(from) != unit) {
            ++from;
        }
        return from;
    }
    const char* const base = bytes_.data() + encoding_.markSize;
    const void* found = std::memchr(base + from, unit, to - from);
    return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - base) : to;
}

std::size_t ProfileText::FindLineEnd(std::size_t from, std::size_t to) const {
    if (unitSize_ != 1) {
        while (from < to && At(from) != u'\r' && At(from) != u'\n') {
            ++from;
        }
        return from;
    }
    const char* const base = bytes_.data() + encoding_.markSize;
    // Most lines are short: look at them eight bytes at a time, in place, before calling memchr.
    if constexpr (std::endian::native == std::endian::little) {
        for (std::size_t words = 0; words < ShortLineWords && to - from >= sizeof(std::uint64_t);
             ++words, from += sizeof(std::uint64_t)) {
            std::uint64_t word = 0;
            std::memcpy(&word, base + from, sizeof word);
            if (const std::uint64_t found = LineEndBytes(word); found != 0) {
                return from + (static_cast<std::size_t>(std::countr_zero(found)) / 8);
            }
        }
    }
    // memchr for each of the two bytes, a slice at a time: one search to the end of the text per
    // line would make a file with only one kind of line end quadratic.
    while (from < to) {
        const std::size_t length = std::min(Slice, to - from);
        const auto* lineFeed = static_cast<const char*>(std::memchr(base + from, '\n', length));
        const std::size_t searched =
            lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - (base + from)) : length;
        const auto* carriageReturn =
            static_cast<const char*>(std::memchr(base + from, '\r', searched));
        if (carriageReturn != nullptr) {
            return static_cast<std::size_t>(carriageReturn - base);
        }
        if (lineFeed != nullptr) {
            return static_cast<std::size_t>(lineFeed - base);
        }
        from += length;
    }
    return to;
}

std::optional<std::u16string> ProfileText::Decode(UnitSpan span) const {
    const std::size_t begin = ByteOffset(span.begin);
    return DecodeText(bytes_.substr(begin, ByteOffset(span.end) - begin), encoding_.form);
}

}  // namespace quenmoor::ini
