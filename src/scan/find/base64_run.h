// Where a stretch of base64 text stops: most of a mail with an attachment is base64 lines, and
// finding the first byte outside the alphabet on each is what taking them costs. The vector steps
// are built per instruction set and picked at run time; each is held against the byte-at-a-time
// reference.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// A character of the base64 alphabet: A-Z, a-z, 0-9, '+' and '/' (RFC 2045 6.8, Table 1).
constexpr bool IsBase64Byte(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

enum class Base64Steps { Bytes, Sse2, Avx2, Avx512 };
// The widest steps this processor has.
Base64Steps WidestBase64Steps();

// The first index in [from, to) whose byte is no base64 character; `to` when there is none.
// `widest` caps the vector steps used (the processor's widest by default).
std::size_t FindNonBase64(const std::uint8_t* data, std::size_t from, std::size_t to,
                          Base64Steps widest = Base64Steps::Avx512);

// The same, a byte at a time: the reference the vector steps are tested against.
std::size_t FindNonBase64Plain(const std::uint8_t* data, std::size_t from, std::size_t to);

// Whole lines of base64 taken 64 bytes at a time, as the start of a run of them: from `begin`, a
// line start, lines of at least one and fewer than `maxLine` base64 characters, each ended by CR
// LF before `limit`. It may stop sooner than such a run does (at any step that holds another
// byte, a stray CR or LF, or where fewer than 64 bytes are left), always at a line start: the
// caller takes the rest a line at a time. Takes nothing where the processor lacks AVX2 or
// `widest` bars it. AVX-512 steps, where the processor has them, take what AVX2 steps take.
struct Base64Lines {
  std::size_t end = 0;    // the start of the first line not taken (`begin` when none was)
  std::size_t lines = 0;  // lines taken
};
Base64Lines TakeBase64LinesInSteps(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                                   std::size_t maxLine, Base64Steps widest = Base64Steps::Avx512);

namespace base64_steps {
// The AVX2 steps (base64_run_avx2.cpp): from `from`, 32 bytes at a time while a whole step lies
// before `to`; the index of the first byte that is no base64 character, or where the steps
// stopped (fewer than 32 bytes before `to`) when none was found.
std::size_t Avx2(const std::uint8_t* data, std::size_t from, std::size_t to);
Base64Lines Avx2Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine);
// The line steps built for AVX-512 (base64_run_avx512.cpp).
Base64Lines Avx512Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine);
}  // namespace base64_steps

}  // namespace quillon
