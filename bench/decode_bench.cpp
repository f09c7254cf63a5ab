// Throughput of the base64 and quoted-printable decoders over 1 MiB of typical mail body text,
// each beside a memcpy of the very same input as the baseline, plus header decoding per value.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "text/base64.h"
#include "text/code_page.h"
#include "text/encoded_words.h"
#include "text/quoted_printable.h"

namespace {

constexpr std::size_t kInputSize = 1 << 20;

// Deterministic bytes that look like a compressed attachment.
std::string PseudoRandomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 0x9E3779B9u;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

struct Base64Sample {
  std::string original;
  std::string encoded;  // 76 characters a line, CR LF between lines (RFC 2045 6.8)
};

const Base64Sample& Base64Input() {
  static const Base64Sample sample = [] {
    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Base64Sample built;
    built.original = PseudoRandomBytes(kInputSize / 78 * 57);
    for (std::size_t i = 0; i < built.original.size(); i += 3) {
      const auto byte = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(built.original[i + k]));
      };
      const std::uint32_t bits = byte(0) << 16 | byte(1) << 8 | byte(2);
      for (int shift = 18; shift >= 0; shift -= 6) built.encoded += kAlphabet[bits >> shift & 63];
      if (built.encoded.size() % 78 == 76) built.encoded += "\r\n";
    }
    return built;
  }();
  return sample;
}

struct QuotedPrintableSample {
  std::string original;
  std::string encoded;  // about one byte in ten escaped, soft line breaks at 76 characters
};

const QuotedPrintableSample& QuotedPrintableInput() {
  static const QuotedPrintableSample sample = [] {
    constexpr char kHex[] = "0123456789ABCDEF";
    const std::string noise = PseudoRandomBytes(kInputSize);
    QuotedPrintableSample built;
    std::size_t lineLength = 0;
    for (std::size_t i = 0; built.encoded.size() < kInputSize; ++i) {
      const auto random = static_cast<unsigned char>(noise[i % noise.size()]);
      // Mostly lower-case prose with blanks; every tenth byte an 8-bit letter that needs "=XX".
      const bool escape = i % 10 == 9;
      const char c = escape ? static_cast<char>(0xC0 | (random & 0x3F))
                            : (random % 6 == 0 ? ' ' : static_cast<char>('a' + random % 26));
      built.original += c;
      if (escape) {
        const auto byte = static_cast<unsigned char>(c);
        built.encoded += '=';
        built.encoded += kHex[byte >> 4];
        built.encoded += kHex[byte & 15];
        lineLength += 3;
      } else {
        built.encoded += c;
        ++lineLength;
      }
      if (lineLength >= 72) {
        built.encoded += "=\r\n";
        lineLength = 0;
      }
    }
    return built;
  }();
  return sample;
}

void Memcpy(benchmark::State& state, const std::string& input) {
  std::vector<char> copy(input.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), input.data(), input.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

void BM_MemcpyBase64Input(benchmark::State& state) {
  Memcpy(state, Base64Input().encoded);
}

void BM_Base64Decode(benchmark::State& state) {
  const Base64Sample& sample = Base64Input();
  if (quillon::Base64Decode(sample.encoded) != sample.original) {
    state.SkipWithError("base64 decoding does not give back the original bytes");
    return;
  }
  for (auto _ : state) {
    std::string decoded = quillon::Base64Decode(sample.encoded);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(sample.encoded.size()));
}

void BM_MemcpyQuotedPrintableInput(benchmark::State& state) {
  Memcpy(state, QuotedPrintableInput().encoded);
}

void BM_QuotedPrintableDecode(benchmark::State& state) {
  const QuotedPrintableSample& sample = QuotedPrintableInput();
  if (quillon::QuotedPrintableDecode(sample.encoded) != sample.original) {
    state.SkipWithError("quoted-printable decoding does not give back the original bytes");
    return;
  }
  for (auto _ : state) {
    std::string decoded = quillon::QuotedPrintableDecode(sample.encoded);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(sample.encoded.size()));
}

// Subject values as the scan meets them: plain, one word, several words in CJK charsets.
// Untagged 8-bit text in the values is read as Western European.
constexpr int kWestern = 1252;

void BM_DecodeHeaderText(benchmark::State& state) {
  const std::vector<std::string> values = {
      "Re: meeting on Tuesday",
      "=?utf-8?B?UmU6IOWbnuWkje+8muWbnuWkje+8muWbnuWkje+8muWbnuWkje+8mmVy?= "
      "=?UTF-8?B?b3PmgKfog73pl67popg=?=",
      "=?GBK?Q?Fw:_Re:_sandals_material_=A3=ACoutdoor_h?= =?GBK?Q?ardware=A3=AChiking?=",
      "=?ISO-2022-JP?B?GyRCJWEhPCVrQXc/LiUoJWkhPBsoQiAoRXJyb3IgbWVzc2FnZSkA?=",
      "=?iso-8859-1?Q?Die_Hasen_und_die_Fr=F6sche?= (Netscape Messenger 4.7)"};
  if (quillon::DecodeHeaderText(values[1], kWestern) !=
      u"Re: 回复：回复：回复：回复：eros性能问题") {
    state.SkipWithError("header decoding gives a wrong subject");
    return;
  }
  std::int64_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& value : values) {
      std::u16string text = quillon::DecodeHeaderText(value, kWestern);
      benchmark::DoNotOptimize(text.data());
      bytes += static_cast<std::int64_t>(value.size());
    }
  }
  state.SetBytesProcessed(bytes);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

BENCHMARK(BM_MemcpyBase64Input)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Base64Decode)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MemcpyQuotedPrintableInput)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_QuotedPrintableDecode)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DecodeHeaderText)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
