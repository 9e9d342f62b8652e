// Numbers as the suite's dialogs show and read them. The floating-point steps are those the suite
// has always taken (repeated multiplication by 0.1 and 10.0, the nudge away from zero, the 32-bit
// limit of the fraction), because the texts users see depend on every one of them.
#include <LyrUtil.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numeric_text.h"

namespace lyrutil {
namespace {

constexpr size_t kAtofCopyCharacters = 15;
constexpr double kFractionLimit = 4294967295.0;
constexpr double kFixedFormLimit = 4000000000.0;
constexpr int kMaxDecimalMagnitude = 127;
const char kOverflowMarker[] = "**000**";
// 10^d formed by multiplying 1.0 by 10.0 d times; from 309 on it is infinite.
constexpr int kFiniteDecimalPowers = 309;

const double* DecimalPowers() {
  static double powers[kFiniteDecimalPowers + 1];
  static bool filled = [] {
    double p = 1.0;
    for (int d = 0; d <= kFiniteDecimalPowers; ++d) {
      powers[d] = p;
      p *= 10.0;
    }
    return true;
  }();
  (void)filled;
  return powers;
}

double DecimalPower(int d) {
  return d > kFiniteDecimalPowers ? HUGE_VAL : DecimalPowers()[d];
}

bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the prefix that the classic atof reads: blanks, a sign, digits with one '.',
// an exponent when digits follow its sign. Nothing else ("INF", hexadecimal) counts.
size_t AtofPrefix(const char* s) {
  size_t i = 0;
  while (IsCSpace(s[i])) ++i;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  while (IsDigit(s[i])) ++i, ++digits;
  if (s[i] == '.') {
    ++i;
    while (IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (s[i] == 'e' || s[i] == 'E') {
    size_t j = i + 1;
    if (s[j] == '+' || s[j] == '-') ++j;
    if (IsDigit(s[j])) {
      while (IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

double ClassicAtof(const char* s) {
  if (s == nullptr) return 0.0;
  size_t n = AtofPrefix(s);
  if (n == 0) return 0.0;
  std::string prefix(s, n);
  return std::strtod(prefix.c_str(), nullptr);
}

namespace {

// The text without leading and trailing blanks (spaces and tabs, as an edit control may hold).
std::string WithoutOuterBlanks(const char* text) {
  std::string s = text ? text : "";
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsCSpace(s[b])) ++b;
  while (e > b && IsCSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string UnsignedText(uint32_t n) {
  return std::to_string(n);
}

// The exponent as atol reads it, but held whole: an exponent too large for 32 bits must not wrap
// round to a small one and slip past the magnitude guard.
long long ExponentValue(const char* text) {
  const char* p = text;
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long total = 0;
  while (IsDigit(*p) && total < 1000000000000LL) total = total * 10 + (*p++ - '0');
  return negative ? -total : total;
}

}  // namespace

LONG ClassicAtol(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t total = 0;
  while (IsDigit(*p)) total = total * 10u + static_cast<uint32_t>(*p++ - '0');
  if (negative) total = 0u - total;
  return static_cast<LONG>(total);
}

int SplitFloatString(std::string* integerText, std::string* fractionText, double value,
                     unsigned short decimals) {
  const double magnitude = std::fabs(value);
  const double whole = std::isfinite(magnitude) ? std::trunc(magnitude) : 0.0;
  uint32_t integer = static_cast<uint32_t>(static_cast<uint64_t>(std::fmod(whole, 4294967296.0)));
  const double fraction = std::isfinite(magnitude) ? magnitude - whole : 0.0;

  // Every count of decimals from 309 on gives an infinite power and so comes down alike.
  int d = decimals > kFiniteDecimalPowers ? kFiniteDecimalPowers : decimals;
  double rounded = fraction * DecimalPower(d) + 0.5;
  // A NaN (a zero fraction times an infinite power) counts as too large, like infinity.
  while (!(rounded <= kFractionLimit) && d > 0) {
    --d;
    rounded = fraction * DecimalPower(d) + 0.5;
  }
  uint32_t digits = static_cast<uint32_t>(rounded);
  if (static_cast<double>(digits) >= DecimalPower(d)) {
    ++integer;  // the rounding carries into the integer part
    digits = 0;
  }
  *integerText = (value < 0 ? "-" : "") + UnsignedText(integer);
  std::string fractionDigits = UnsignedText(digits);
  size_t width = d == 0 ? 1 : static_cast<size_t>(d);
  *fractionText =
      std::string(width > fractionDigits.size() ? width - fractionDigits.size() : 0, '0') +
      fractionDigits;

  if (value == 0.0) return 1;
  const std::string& unsignedInteger = value < 0 ? integerText->substr(1) : *integerText;
  bool integerShows = unsignedInteger.find_first_not_of('0') != std::string::npos;
  bool fractionShows = fractionText->find_first_not_of('0') != std::string::npos;
  return integerShows || fractionShows ? 1 : 0;
}

namespace {

// Moves a value just below a rounding boundary over it: 0.15 at one decimal gives 0.2. Near the
// largest doubles the nudge would overflow to infinity; there it is left out.
double NudgedAwayFromZero(double value) {
  if (value == 0) return 0;
  double epsilon = 1e-13;
  for (double m = std::fabs(value); m > 1.0; m *= 0.1) epsilon *= 10.0;
  double adjusted = value > 0 ? value + epsilon : value - epsilon;
  return std::isfinite(adjusted) ? adjusted : value;
}

bool FixedForm(double value, double adjusted, unsigned short decimals, unsigned short maxLength,
               std::string* result) {
  std::string integer, fraction;
  if (!SplitFloatString(&integer, &fraction, adjusted, decimals)) return false;
  std::string candidate = decimals > 0 ? integer + "." + fraction : integer;
  if (candidate.size() <= maxLength) {
    *result = candidate;
    return true;
  }
  if (value == 0) {
    *result = candidate.substr(0, maxLength);
    return true;
  }
  return false;
}

// 1 <= mantissa < 10, by repeated multiplication.
void Normalise(double value, double adjusted, double* mantissa, int* exponent) {
  double m = std::fabs(adjusted);
  int e = 0;
  if (value != 0) {
    if (m > 1) {
      while (m > 1) {
        m *= 0.1;
        ++e;
      }
      if (m < 1) {
        m *= 10.0;
        --e;
      }
    } else if (m < 1) {
      while (m < 1) {
        m *= 10.0;
        --e;
      }
      if (m >= 10) {
        m *= 0.1;
        ++e;
      }
    }
  }
  *mantissa = m;
  *exponent = e;
}

bool ExponentForm(double value, double adjusted, unsigned short decimals, unsigned short maxLength,
                  std::string* result) {
  double mantissa;
  int exponent;
  Normalise(value, adjusted, &mantissa, &exponent);
  const std::string exponentText = "e" + std::to_string(exponent);
  // Counts of decimals from 309 on all give what 309 gives.
  int first = decimals > kFiniteDecimalPowers ? kFiniteDecimalPowers : decimals;
  for (int d = first; d >= 1; --d) {
    std::string integer, fraction;
    if (!SplitFloatString(&integer, &fraction, mantissa, static_cast<unsigned short>(d))) continue;
    std::string candidate = (value < 0 ? "-" : "") + integer + "." + fraction + exponentText;
    if (candidate.size() <= maxLength) {
      *result = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace
}  // namespace lyrutil

using namespace lyrutil;

int Lyra_atof(double* result, char* text) {
  if (result == nullptr) return 1;
  // The text is examined in a copy of 15 characters. A longer one is refused rather than cut,
  // since a cut number is a different number.
  std::string copy = WithoutOuterBlanks(text);
  if (copy.size() > kAtofCopyCharacters) {
    *result = 1.0;
    return 1;
  }
  for (char& c : copy) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  size_t i = 0;
  int integerDigits = 0;
  bool pastPoint = false;
  for (; i < copy.size() && copy[i] != 'E'; ++i) {
    if (copy[i] == '.') pastPoint = true;
    if (!pastPoint && IsDigit(copy[i])) ++integerDigits;
  }
  if (i < copy.size() && i + 1 < copy.size()) {
    long long magnitude = ExponentValue(copy.c_str() + i + 1) + integerDigits;
    if (magnitude > kMaxDecimalMagnitude || magnitude < -kMaxDecimalMagnitude) {
      *result = 1.0;
      return 1;
    }
  }
  *result = ClassicAtof(copy.c_str());
  return 0;
}

void FormatFloatString(double value, char* out, unsigned short decimals, unsigned short maxLength,
                       int exponentForm) {
  if (out == nullptr) return;
  std::string result = kOverflowMarker;
  // NaN and the infinities have no digits to show: they get the overflow marker.
  if (std::isfinite(value)) {
    const double adjusted = NudgedAwayFromZero(value);
    bool done = !exponentForm && std::fabs(value) <= kFixedFormLimit &&
                FixedForm(value, adjusted, decimals, maxLength, &result);
    if (!done && !ExponentForm(value, adjusted, decimals, maxLength, &result))
      result = kOverflowMarker;
  }
  std::memcpy(out, result.c_str(), result.size() + 1);
}
