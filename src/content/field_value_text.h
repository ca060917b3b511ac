// Turning a typed field value, as a field source writes it into its value
// buffer, into the text the rest of the system stores: numbers in decimal,
// dates as d.m.yyyy, times as h:m:s, booleans as false/true, text as it is,
// and "null" for a missing field, a file error or a type without a text form.
#ifndef TOMEVA_CONTENT_FIELD_VALUE_TEXT_H_
#define TOMEVA_CONTENT_FIELD_VALUE_TEXT_H_

#include <span>
#include <string>
#include <string_view>

namespace tomeva::content {

// The text "null" that stands for a value that could not be had.
inline constexpr std::string_view kNullValue = "null";

// The text of the value a source answered with code (a field type or a
// negative result code) into value. ft_fieldempty gives ""; ft_nosuchfield,
// ft_fileerror, 0 and every code without a text form (date and time, wide
// string, unknown codes) give "null". Text values end at the first NUL and
// take at most value.size() - 1 bytes, never ending inside a UTF-8 character.
std::string FieldValueText(int code, std::span<const char> value);

// v in general format with up to 15 significant digits, shortest form:
// fixed notation when the decimal exponent is from -5 to 14, otherwise
// scientific as mantissa, "E" and the exponent (1.5E20, 1E-6). Infinities and
// NaN give "INF", "-INF" and "NAN".
std::string FormatGeneralDouble(double v, char decimal_point);

}  // namespace tomeva::content

#endif  // TOMEVA_CONTENT_FIELD_VALUE_TEXT_H_
