// Where a stretch of mail text stops being text: the first control byte other than a tab, CR or
// line feed. A mail's whole text is looked at this way once per found mail (to print it for the
// copies, up to a long bound when its end is not known), so on dense mail it runs over far more
// bytes than the walk does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// Whether a mail's text may hold `byte`: everything from 0x20 on (0x7F and 8-bit bytes too), a
// tab, a CR, a line feed.
constexpr bool IsMailTextByte(std::uint8_t byte) {
  return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n';
}

enum class TextSteps { Bytes, Sse2, Avx2 };
// The widest steps this processor has.
TextSteps WidestTextSteps();

// The first index in [at, limit) whose byte is no mail text byte; `limit` when there is none.
// `widest` caps the vector steps used (the processor's widest by default).
std::size_t FindNonTextByte(const std::uint8_t* data, std::size_t at, std::size_t limit,
                            TextSteps widest = TextSteps::Avx2);

// The same, a byte at a time: the reference the fast one is tested against.
std::size_t FindNonTextBytePlain(const std::uint8_t* data, std::size_t at, std::size_t limit);

namespace text_steps {
// The AVX2 steps (text_bytes_avx2.cpp): from `at`, 64 bytes at a time while a whole step lies
// before `limit`; the index of the first byte no mail text holds, or where the steps stopped
// (fewer than 64 bytes before `limit`) when none was found.
std::size_t Avx2(const std::uint8_t* data, std::size_t at, std::size_t limit);
}  // namespace text_steps

}  // namespace quillon
