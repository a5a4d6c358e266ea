// Reading numbers the way the operator types them and the environment file
// holds them: decimal, rounded to whole numbers with halves to even.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace orvex {

// The typed-number check of the dialogs. The whole text must be a number:
// optional blanks, optional sign, digits with an optional fraction (or a
// fraction alone), optional exponent, optional blanks. On success the rounded
// number is handed back in *number (also when it lies outside the bounds);
// for text that is no number, or one beyond 16 bits, *number is untouched.
bool IsNumberInRange(std::string_view text, int16_t lower, int16_t upper, int16_t* number);
// The same check for a setting of any width: the rounded number within
// [lower, upper] into *number; false (and *number untouched) otherwise.
bool WholeNumber(std::string_view text, long long lower, long long upper, long long* number);

// The whole text as a number (blanks around it allowed), unrounded;
// nullopt when it is not one.
std::optional<double> ParseNumber(std::string_view text);

// The leading number of a value (optional sign, digits, optional fraction
// and exponent); 0 when the value does not start with one.
double LeadingNumber(std::string_view text);

// The shortest decimal text that reads back as the same float ("10.5",
// "9", "1E+20"), the same in every locale; minus zero is "0".
Text DecimalText(float value);
// 4567 as "4,567", whatever the locale.
Text GroupedNumber(long long value);

// Nearest integer, halves to even; nullopt when it does not fit [lo, hi].
std::optional<long long> RoundHalfEven(double value, long long lo, long long hi);

}  // namespace orvex
