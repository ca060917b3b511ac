// The SQLite functions that translated Jet statements call (jet_add, jet_ucase,
// jet_left, jet_format...), a Unicode-aware LIKE, the functions the catalog's
// triggers compute its keys and shown names with (tomeva_fold,
// tomeva_shown_name), and the Cyrillic-folding order that catalogs of earlier
// versions were indexed in. Each function keeps Jet's rules: Null in gives
// Null out, texts are counted in characters, never in bytes, and numbers are
// rounded the way Jet rounds them.
#include "catalog/jet_functions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/search_index.h"
#include "common/shown_text.h"
#include "common/utf8.h"

namespace tomeva::catalog {
namespace {

// ---- Arguments and results ---------------------------------------------------

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (IsNull(argv[i])) return true;
  }
  return false;
}

// The value's text form; valid until the value is converted again.
std::string_view Text(sqlite3_value* v) {
  const unsigned char* text = sqlite3_value_text(v);
  const int bytes = sqlite3_value_bytes(v);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)};
}

void ResultText(sqlite3_context* ctx, std::string_view text) {
  sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ResultError(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), -1);
}

// A whole number is returned as an integer, so that its text form has no ".0".
void ResultNumber(sqlite3_context* ctx, double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9007199254740992.0) {
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
  } else {
    sqlite3_result_double(ctx, d);
  }
}

struct Number {
  bool integral = false;
  int64_t i = 0;
  double d = 0;
};

Number IntegerNumber(int64_t i) { return {true, i, static_cast<double>(i)}; }
Number RealNumber(double d) { return {false, 0, d}; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number written as Jet converts text: blanks around it, an optional sign,
// digits with an optional decimal point and exponent, and nothing else.
std::optional<Number> ParseNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digits_start = i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  bool fraction = false;
  if (i < text.size() && text[i] == '.') {
    fraction = true;
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    fraction = true;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  if (i != text.size()) return std::nullopt;

  std::string body(text.substr(digits_start));
  if (body.front() == '.') body.insert(0, "0");
  if (negative) body.insert(0, "-");
  if (!fraction) {
    int64_t value = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc() && end == body.data() + body.size()) return IntegerNumber(value);
  }
  double value = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec != std::errc() || end != body.data() + body.size()) return std::nullopt;
  return RealNumber(value);
}

// A non-Null argument as a number; nullopt when it is text that is not one.
std::optional<Number> ToNumber(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return IntegerNumber(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return RealNumber(sqlite3_value_double(v));
    case SQLITE_NULL:
      return std::nullopt;
    default:
      return ParseNumber(Text(v));
  }
}

// Jet's rounding of a fraction to a whole number: halves go to the even side.
double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double rest = x - floor;
  if (rest > 0.5) return floor + 1;
  if (rest < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

// A number as a whole number in [low, high] after Jet's rounding.
std::optional<int64_t> WholeNumber(const Number& n, int64_t low, int64_t high) {
  if (n.integral) {
    if (n.i < low || n.i > high) return std::nullopt;
    return n.i;
  }
  // Compared as an integer: a bound such as INT64_MAX has no exact double (it
  // rounds up to 2^63), and converting a double of 2^63 or more is undefined.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  const double r = RoundHalfEven(n.d);
  if (!std::isfinite(r) || r < -kTwoTo63 || r >= kTwoTo63) return std::nullopt;
  const auto whole = static_cast<int64_t>(r);
  if (whole < low || whole > high) return std::nullopt;
  return whole;
}

// A character count or position argument: a whole number of at least `low`.
// Reports the error itself and returns nullopt when the argument is unusable.
std::optional<int64_t> CountArgument(sqlite3_context* ctx, sqlite3_value* v, int64_t low,
                                     const char* function) {
  std::optional<Number> n = ToNumber(v);
  if (!n) {
    ResultError(ctx, std::string(function) + ": type mismatch");
    return std::nullopt;
  }
  std::optional<int64_t> whole = WholeNumber(*n, INT64_MIN / 2, INT64_MAX / 2);
  if (!whole || *whole < low) {
    ResultError(ctx, std::string(function) + ": invalid procedure call");
    return std::nullopt;
  }
  return whole;
}

// A double in Jet's text form: up to 15 significant digits, exponent as E+20.
std::string FormatDouble(double d) {
  if (d == 0) d = 0;  // no "-0"
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 15);
  std::string out(buffer, ec == std::errc() ? end : buffer);
  for (char& c : out) {
    if (c == 'e') c = 'E';
  }
  return out;
}

std::string NumberText(const Number& n) {
  return n.integral ? std::to_string(n.i) : FormatDouble(n.d);
}

// ---- Jet's "+" and the arithmetic operators SQLite lacks ------------------------

// Numbers add, texts join, a number and a numeric text add; Null propagates.
void JetAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  auto is_number = [](sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  };
  if (!is_number(argv[0]) && !is_number(argv[1])) {
    std::string joined(Text(argv[0]));
    joined += Text(argv[1]);
    return ResultText(ctx, joined);
  }
  std::optional<Number> a = ToNumber(argv[0]);
  std::optional<Number> b = ToNumber(argv[1]);
  if (!a || !b) return ResultError(ctx, "+: type mismatch");
  int64_t sum = 0;
  if (a->integral && b->integral && !__builtin_add_overflow(a->i, b->i, &sum)) {
    return sqlite3_result_int64(ctx, sum);
  }
  ResultNumber(ctx, a->d + b->d);
}

// "\": both operands rounded to whole numbers, the quotient truncated.
void JetIntegerDivide(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<Number> a = ToNumber(argv[0]);
  std::optional<Number> b = ToNumber(argv[1]);
  if (!a || !b) return ResultError(ctx, "\\: type mismatch");
  std::optional<int64_t> x = WholeNumber(*a, INT64_MIN, INT64_MAX);
  std::optional<int64_t> y = WholeNumber(*b, INT64_MIN, INT64_MAX);
  if (!x || !y || (*x == INT64_MIN && *y == -1)) return ResultError(ctx, "\\: overflow");
  if (*y == 0) return ResultError(ctx, "\\: division by zero");
  sqlite3_result_int64(ctx, *x / *y);
}

void JetPower(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<Number> a = ToNumber(argv[0]);
  std::optional<Number> b = ToNumber(argv[1]);
  if (!a || !b) return ResultError(ctx, "^: type mismatch");
  const double p = std::pow(a->d, b->d);
  if (std::isnan(p)) return ResultError(ctx, "^: invalid procedure call");
  if (std::isinf(p)) return ResultError(ctx, "^: overflow");
  ResultNumber(ctx, p);
}

// ---- Text functions -----------------------------------------------------------

void JetUcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Upper(Text(argv[0])));
}

void JetLcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Lower(Text(argv[0])));
}

// Byte offset of the character at 0-based index `characters`.
size_t CharacterOffset(std::string_view text, int64_t characters) {
  return Utf8Prefix(text, static_cast<size_t>(characters)).size();
}

void JetLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<int64_t> n = CountArgument(ctx, argv[1], 0, "Left");
  if (!n) return;
  ResultText(ctx, Utf8Prefix(Text(argv[0]), static_cast<size_t>(*n)));
}

void JetRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<int64_t> n = CountArgument(ctx, argv[1], 0, "Right");
  if (!n) return;
  std::string_view text = Text(argv[0]);
  const int64_t count = static_cast<int64_t>(Utf8CharacterCount(text));
  if (*n >= count) return ResultText(ctx, text);
  ResultText(ctx, text.substr(CharacterOffset(text, count - *n)));
}

// Mid(text, start[, length]), start counting from 1.
void JetMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<int64_t> start = CountArgument(ctx, argv[1], 1, "Mid");
  if (!start) return;
  std::optional<int64_t> length;
  if (argc == 3) {
    length = CountArgument(ctx, argv[2], 0, "Mid");
    if (!length) return;
  }
  std::string_view text = Text(argv[0]);
  std::string_view rest = text.substr(CharacterOffset(text, *start - 1));
  ResultText(ctx, length ? Utf8Prefix(rest, static_cast<size_t>(*length)) : rest);
}

void JetLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(Utf8CharacterCount(Text(argv[0]))));
}

// InStr([start,] text, sought[, compare]): the character position of sought
// in text, 0 when absent. Letter case is ignored unless compare is 0.
void JetInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int first = argc >= 3 ? 1 : 0;
  int64_t start = 1;
  if (argc >= 3) {
    std::optional<int64_t> s = CountArgument(ctx, argv[0], 1, "InStr");
    if (!s) return;
    start = *s;
  }
  bool ignore_case = true;
  if (argc == 4) {
    std::optional<int64_t> compare = CountArgument(ctx, argv[3], 0, "InStr");
    if (!compare) return;
    ignore_case = *compare != 0;
  }
  std::string text(Text(argv[first]));
  std::string sought(Text(argv[first + 1]));
  if (ignore_case) {
    text = Utf8Upper(text);
    sought = Utf8Upper(sought);
  }
  const int64_t count = static_cast<int64_t>(Utf8CharacterCount(text));
  if (text.empty() || start > count) return sqlite3_result_int64(ctx, 0);
  if (sought.empty()) return sqlite3_result_int64(ctx, start);
  const size_t found = text.find(sought, CharacterOffset(text, start - 1));
  if (found == std::string::npos) return sqlite3_result_int64(ctx, 0);
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(
                                Utf8CharacterCount(std::string_view(text).substr(0, found)) + 1));
}

// ---- Conversions --------------------------------------------------------------

// Str(number): a leading space stands for the sign of a number that is not
// negative; a zero before the decimal point is left out (" .5").
void JetStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::optional<Number> n = ToNumber(argv[0]);
  if (!n) return ResultError(ctx, "Str: type mismatch");
  std::string text = NumberText(*n);
  const bool negative = text[0] == '-';
  std::string digits = negative ? text.substr(1) : text;
  if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
  ResultText(ctx, (negative ? "-" : " ") + digits);
}

void JetCstr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
      return ResultText(ctx, std::to_string(sqlite3_value_int64(argv[0])));
    case SQLITE_FLOAT:
      return ResultText(ctx, FormatDouble(sqlite3_value_double(argv[0])));
    default:
      return ResultText(ctx, Text(argv[0]));
  }
}

// Val(text): the number at the start of text, blanks anywhere ignored, 0 when
// there is none.
void JetVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
  std::string compact;
  for (char c : Text(argv[0])) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') compact.push_back(c);
  }
  // The longest prefix that reads as a number.
  size_t i = 0;
  std::string number;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) {
    if (compact[i] == '-') number.push_back('-');
    ++i;
  }
  std::string mantissa;
  bool point = false;
  while (i < compact.size() && (IsDigit(compact[i]) || (compact[i] == '.' && !point))) {
    if (compact[i] == '.') point = true;
    mantissa.push_back(compact[i++]);
  }
  if (mantissa.find_first_of("0123456789") == std::string::npos) {
    return sqlite3_result_int64(ctx, 0);
  }
  number += mantissa;
  if (i < compact.size() &&
      (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' || compact[i] == 'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) exponent += compact[j++];
    if (j < compact.size() && IsDigit(compact[j])) {
      while (j < compact.size() && IsDigit(compact[j])) exponent += compact[j++];
      number += exponent;
    }
  }
  std::optional<Number> n = ParseNumber(number);
  if (!n) return sqlite3_result_int64(ctx, 0);
  if (n->integral) return sqlite3_result_int64(ctx, n->i);
  ResultNumber(ctx, n->d);
}

// CInt / CLng: Jet's rounding (halves to even) and its range checks.
void ConvertWhole(sqlite3_context* ctx, sqlite3_value* v, int64_t low, int64_t high,
                  const char* function) {
  if (IsNull(v)) return sqlite3_result_null(ctx);
  std::optional<Number> n = ToNumber(v);
  if (!n) return ResultError(ctx, std::string(function) + ": type mismatch");
  std::optional<int64_t> whole = WholeNumber(*n, low, high);
  if (!whole) return ResultError(ctx, std::string(function) + ": overflow");
  sqlite3_result_int64(ctx, *whole);
}

void JetCint(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ConvertWhole(ctx, argv[0], -32768, 32767, "CInt");
}

void JetClng(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ConvertWhole(ctx, argv[0], INT32_MIN, INT32_MAX, "CLng");
}

// Round(number[, decimals]), halves to the even side as Jet rounds.
void JetRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<Number> n = ToNumber(argv[0]);
  if (!n) return ResultError(ctx, "Round: type mismatch");
  int64_t decimals = 0;
  if (argc == 2) {
    std::optional<int64_t> d = CountArgument(ctx, argv[1], 0, "Round");
    if (!d) return;
    decimals = *d;
  }
  if (n->integral) return sqlite3_result_int64(ctx, n->i);
  if (decimals > 15) return sqlite3_result_double(ctx, n->d);
  const double scale = std::pow(10.0, static_cast<double>(decimals));
  ResultNumber(ctx, RoundHalfEven(n->d * scale) / scale);
}

// ---- Format -------------------------------------------------------------------

struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, DateTime& out) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  out.year = static_cast<int>(yoe + era * 400 + (out.month <= 2));
}

std::optional<int> Digits(std::string_view text, size_t pos, size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY-MM-DD", optionally followed by " HH:MM[:SS...]" or "THH:MM...".
std::optional<DateTime> ParseStoredDate(std::string_view text) {
  DateTime dt;
  auto y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
  if (!y || !m || !d || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (*m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
  dt.year = *y, dt.month = *m, dt.day = *d;
  if (text.size() > 10) {
    if (text[10] != ' ' && text[10] != 'T') return std::nullopt;
    auto h = Digits(text, 11, 2), n = Digits(text, 14, 2);
    if (!h || !n || text[13] != ':') return std::nullopt;
    dt.hour = *h, dt.minute = *n;
    if (text.size() > 16) {
      auto s = Digits(text, 17, 2);
      if (!s || text[16] != ':') return std::nullopt;
      dt.second = *s;
    }
  }
  return dt;
}

// A Jet date serial: days since 1899-12-30, the fraction being the time.
std::optional<DateTime> DateFromSerial(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return std::nullopt;
  double days = std::floor(serial);
  int64_t seconds = std::llround((serial - days) * 86400.0);
  if (seconds >= 86400) days += 1, seconds -= 86400;
  DateTime dt;
  CivilFromDays(DaysFromCivil(1899, 12, 30) + static_cast<int64_t>(days), dt);
  dt.hour = static_cast<int>(seconds / 3600);
  dt.minute = static_cast<int>(seconds / 60 % 60);
  dt.second = static_cast<int>(seconds % 60);
  return dt;
}

std::string Padded(int64_t value, size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Calls on_literal for literal text and on_token for each run of one letter
// (as lower case, with its length) among the placeholder letters given.
template <typename Literal, typename Token>
void ScanFormat(std::string_view format, std::string_view letters, Literal on_literal,
                Token on_token) {
  for (size_t i = 0; i < format.size();) {
    const char c = format[i];
    if (c == '"') {
      size_t close = format.find('"', i + 1);
      if (close == std::string_view::npos) close = format.size();
      on_literal(format.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (c == '\\' && i + 1 < format.size()) {
      on_literal(format.substr(i + 1, 1));
      i += 2;
    } else if (letters.find(Lower(c)) != std::string_view::npos) {
      size_t run = 1;
      while (i + run < format.size() && Lower(format[i + run]) == Lower(c)) ++run;
      on_token(Lower(c), run);
      i += run;
    } else {
      on_literal(format.substr(i, 1));
      ++i;
    }
  }
}

std::string FormatDate(const DateTime& dt, std::string_view format) {
  static constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  const int64_t days = DaysFromCivil(dt.year, dt.month, dt.day);
  const int64_t weekday = ((days + 4) % 7 + 7) % 7;
  std::string out;
  bool after_hour = false;  // "m" right after an hour means minutes
  ScanFormat(
      format, "ymdhns", [&](std::string_view literal) { out += literal; },
      [&](char letter, size_t run) {
        switch (letter) {
          case 'y':
            if (run >= 3)
              out += Padded(dt.year, 4);
            else if (run == 2)
              out += Padded(dt.year % 100, 2);
            else
              out += std::to_string(days - DaysFromCivil(dt.year, 1, 1) + 1);
            break;
          case 'm':
            if (after_hour && run <= 2)
              out += Padded(dt.minute, run);
            else if (run <= 2)
              out += Padded(dt.month, run);
            else
              out += run == 3 ? std::string(kMonths[dt.month - 1], 3) : kMonths[dt.month - 1];
            break;
          case 'd':
            if (run <= 2)
              out += Padded(dt.day, run);
            else
              out += run == 3 ? std::string(kDays[weekday], 3) : kDays[weekday];
            break;
          case 'h':
            out += Padded(dt.hour, run >= 2 ? 2 : 1);
            break;
          case 'n':
            out += Padded(dt.minute, run >= 2 ? 2 : 1);
            break;
          case 's':
            out += Padded(dt.second, run >= 2 ? 2 : 1);
            break;
        }
        after_hour = letter == 'h';
      });
  return out;
}

// Formats with digit placeholders: 0 (a digit always shown), # (a digit shown
// when significant), "." and "," (thousands), "%" (a percentage).
std::string FormatNumber(const Number& n, std::string_view format) {
  // Only the first section (positive numbers) of "pos;neg;zero" is used.
  bool quoted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '"') quoted = !quoted;
    if (format[i] == ';' && !quoted) {
      format = format.substr(0, i);
      break;
    }
  }
  std::string prefix, suffix;
  size_t int_zeros = 0, frac_zeros = 0, frac_places = 0;
  bool grouping = false, percent = false, in_fraction = false, seen_placeholder = false;
  ScanFormat(
      format, "0#.,%",
      [&](std::string_view literal) { (seen_placeholder ? suffix : prefix) += literal; },
      [&](char letter, size_t run) {
        if (letter == '%') {
          percent = true;
          (seen_placeholder ? suffix : prefix).append(run, '%');
          return;
        }
        if (!suffix.empty()) {  // once the text after the number began, all is literal
          suffix.append(run, letter);
          return;
        }
        seen_placeholder = true;
        if (letter == '.') in_fraction = true;
        if (letter == ',' && !in_fraction) grouping = true;
        if (letter == '0') (in_fraction ? frac_zeros : int_zeros) += run;
        if (letter == '0' || letter == '#') {
          if (in_fraction) frac_places += run;
        }
      });

  double value = n.d * (percent ? 100.0 : 1.0);
  const bool negative = value < 0;
  value = std::fabs(value);
  std::string int_part, frac_part;
  const double scaled = std::round(value * std::pow(10.0, static_cast<double>(frac_places)));
  if (n.integral && !percent && frac_places == 0) {
    const uint64_t magnitude =
        n.i < 0 ? 0 - static_cast<uint64_t>(n.i) : static_cast<uint64_t>(n.i);
    int_part = std::to_string(magnitude);
  } else if (scaled < 9e15) {
    std::string digits = std::to_string(static_cast<uint64_t>(scaled));
    if (digits.size() <= frac_places) digits.insert(0, frac_places + 1 - digits.size(), '0');
    int_part = digits.substr(0, digits.size() - frac_places);
    frac_part = digits.substr(digits.size() - frac_places);
  } else {
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                   static_cast<int>(frac_places));
    std::string digits(buffer, ec == std::errc() ? end : buffer);
    const size_t point = digits.find('.');
    int_part = digits.substr(0, point);
    if (point != std::string::npos) frac_part = digits.substr(point + 1);
  }
  while (frac_part.size() > frac_zeros && frac_part.back() == '0') frac_part.pop_back();
  if (int_part == "0" && int_zeros == 0) int_part.clear();
  if (int_part.size() < int_zeros) int_part.insert(0, int_zeros - int_part.size(), '0');
  if (grouping) {
    for (size_t i = int_part.size(); i > 3; i -= 3) int_part.insert(i - 3, ",");
  }
  const bool shows_nonzero = (int_part + frac_part).find_first_not_of("0,") != std::string::npos;
  std::string out = negative && shows_nonzero ? "-" : "";
  out += prefix + int_part;
  if (!frac_part.empty()) out += "." + frac_part;
  return out + suffix;
}

// Jet's named formats, as the patterns they stand for here.
std::string_view ResolveNamedFormat(std::string_view format) {
  struct Named {
    std::string_view name, pattern;
  };
  static constexpr Named kNamed[] = {
      {"fixed", "0.00"},
      {"standard", "#,##0.00"},
      {"percent", "0.00%"},
      {"short date", "yyyy-mm-dd"},
      {"long time", "hh:nn:ss"},
      {"short time", "hh:nn"},
      {"general date", "yyyy-mm-dd hh:nn:ss"},
  };
  for (const Named& n : kNamed) {
    if (format.size() != n.name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < format.size() && same; ++i) same = Lower(format[i]) == n.name[i];
    if (same) return n.pattern;
  }
  return format;
}

bool HasPlaceholder(std::string_view format, std::string_view letters) {
  bool found = false;
  ScanFormat(
      format, letters, [](std::string_view) {}, [&](char, size_t) { found = true; });
  return found;
}

// Format(value[, format]) for the common date and number patterns; a value
// the pattern does not fit is returned as text unchanged.
void JetFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlite3_value* value = argv[0];
  if (IsNull(value)) return sqlite3_result_null(ctx);
  const std::string format(argc == 2 && !IsNull(argv[1]) ? ResolveNamedFormat(Text(argv[1]))
                                                         : std::string_view());
  const int type = sqlite3_value_type(value);
  const bool is_number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  if (format.empty()) return JetCstr(ctx, 1, argv);
  if (HasPlaceholder(format, "0#")) {
    std::optional<Number> n = ToNumber(value);
    if (!n) return ResultText(ctx, Text(value));
    return ResultText(ctx, FormatNumber(*n, format));
  }
  if (HasPlaceholder(format, "ymdhns")) {
    std::optional<DateTime> dt =
        is_number ? DateFromSerial(sqlite3_value_double(value)) : ParseStoredDate(Text(value));
    if (!dt) return ResultText(ctx, Text(value));
    return ResultText(ctx, FormatDate(*dt, format));
  }
  std::string literal;
  ScanFormat(
      format, "", [&](std::string_view text) { literal += text; }, [](char, size_t) {});
  ResultText(ctx, literal);
}

// ---- Pattern matching ------------------------------------------------------------

// Code points of UTF-8 text; a stray byte becomes a value outside Unicode.
std::vector<uint32_t> CodePoints(std::string_view text) {
  std::vector<uint32_t> out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t len = Utf8SequenceLength(text, pos);
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    uint32_t cp;
    switch (len) {
      case 2:
        cp = ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
        break;
      case 3:
        cp = ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
        break;
      case 4:
        cp = ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
             (byte(3) & 0x3Fu);
        break;
      default:
        cp = byte(0) < 0x80 ? byte(0) : 0x110000u + byte(0);
    }
    out.push_back(cp);
    pos += len;
  }
  return out;
}

// One element of a compiled pattern; each but kAnyRun matches one character.
struct PatternItem {
  enum Type { kAnyRun, kAnyOne, kDigit, kChar, kSet } type = kChar;
  uint32_t cp = 0;
  bool negated = false;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;

  bool Matches(uint32_t c) const {
    switch (type) {
      case kAnyOne:
        return true;
      case kDigit:
        return c >= '0' && c <= '9';
      case kChar:
        return c == cp;
      case kSet: {
        bool in = false;
        for (const auto& [low, high] : ranges) in = in || (c >= low && c <= high);
        return in != negated;
      }
      case kAnyRun:
        break;
    }
    return false;
  }
};

bool MatchPattern(const std::vector<PatternItem>& pattern, const std::vector<uint32_t>& text) {
  size_t p = 0, t = 0, star = std::string::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p].type == PatternItem::kAnyRun) {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && pattern[p].Matches(text[t])) {
      ++p;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].type == PatternItem::kAnyRun) ++p;
  return p == pattern.size();
}

// Jet's Like pattern: * ? # and [list], [!list], [a-z].
std::optional<std::vector<PatternItem>> CompileJetPattern(const std::vector<uint32_t>& cps) {
  std::vector<PatternItem> out;
  for (size_t i = 0; i < cps.size(); ++i) {
    PatternItem item;
    switch (cps[i]) {
      case '*':
        item.type = PatternItem::kAnyRun;
        break;
      case '?':
        item.type = PatternItem::kAnyOne;
        break;
      case '#':
        item.type = PatternItem::kDigit;
        break;
      case '[': {
        size_t j = i + 1;
        item.type = PatternItem::kSet;
        if (j < cps.size() && cps[j] == '!' && j + 1 < cps.size() && cps[j + 1] != ']') {
          item.negated = true;
          ++j;
        }
        while (j < cps.size() && cps[j] != ']') {
          if (j + 2 < cps.size() && cps[j + 1] == '-' && cps[j + 2] != ']') {
            item.ranges.emplace_back(cps[j], cps[j + 2]);
            j += 3;
          } else {
            item.ranges.emplace_back(cps[j], cps[j]);
            ++j;
          }
        }
        if (j >= cps.size()) return std::nullopt;
        i = j;
        if (item.ranges.empty()) continue;  // "[]" stands for nothing
        break;
      }
      default:
        item.cp = cps[i];
    }
    out.push_back(std::move(item));
  }
  return out;
}

// jet_like(text, pattern): Jet's Like, ignoring letter case.
void JetLikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<std::vector<PatternItem>> pattern =
      CompileJetPattern(CodePoints(Utf8Upper(Text(argv[1]))));
  if (!pattern) return ResultError(ctx, "Like: invalid pattern");
  sqlite3_result_int(ctx, MatchPattern(*pattern, CodePoints(Utf8Upper(Text(argv[0])))) ? 1 : 0);
}

// like(pattern, text[, escape]): SQL LIKE (% and _) ignoring the case of
// Cyrillic letters as well as Latin ones.
void SqlLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<uint32_t> escape;
  if (argc == 3) {
    std::vector<uint32_t> e = CodePoints(Utf8Upper(Text(argv[2])));
    if (e.size() != 1) return ResultError(ctx, "ESCAPE expression must be a single character");
    escape = e[0];
  }
  const std::vector<uint32_t> cps = CodePoints(Utf8Upper(Text(argv[0])));
  std::vector<PatternItem> pattern;
  for (size_t i = 0; i < cps.size(); ++i) {
    PatternItem item;
    if (escape && cps[i] == *escape) {
      if (++i >= cps.size())
        return sqlite3_result_int(ctx, 0);  // a dangling escape matches nothing
      item.cp = cps[i];
    } else if (cps[i] == '%') {
      item.type = PatternItem::kAnyRun;
    } else if (cps[i] == '_') {
      item.type = PatternItem::kAnyOne;
    } else {
      item.cp = cps[i];
    }
    pattern.push_back(std::move(item));
  }
  sqlite3_result_int(ctx, MatchPattern(pattern, CodePoints(Utf8Upper(Text(argv[1])))) ? 1 : 0);
}

// ---- Keys and shown names ------------------------------------------------------

// tomeva_fold(text): the case-folded form case-blind keys hold (Latin and
// Cyrillic letters lowered, as LCase does); Null stays Null.
void TomevaFold(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Lower(Text(argv[0])));
}

// tomeva_search_fold(text): the folded form the search index holds
// (SearchFold); Null stays Null.
void TomevaSearchFold(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, SearchFold(Text(argv[0])));
}

// tomeva_search_query(text): the full-text query that finds what a user
// typed (BuildSearchQuery); an empty phrase, which matches nothing, when text
// is Null or holds no word.
void TomevaSearchQuery(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return ResultText(ctx, "\"\"");
  Result<std::string> query = BuildSearchQuery(sqlite3_context_db_handle(ctx), Text(argv[0]));
  if (!query.ok()) return ResultError(ctx, query.message());
  ResultText(ctx, query->empty() ? "\"\"" : *query);
}

// tomeva_shown_name(text, key, force_key, max_characters, tail, max_bytes):
// see ShownNameWithKey.
void TomevaShownName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const int64_t max_characters = sqlite3_value_int64(argv[3]);
  const int64_t max_bytes = sqlite3_value_int64(argv[5]);
  if (max_characters < 1 || max_bytes < 1) return ResultError(ctx, "tomeva_shown_name: bad limit");
  ResultText(ctx, ShownNameWithKey(Text(argv[0]), Text(argv[1]), sqlite3_value_int64(argv[2]) != 0,
                                   static_cast<size_t>(max_characters), Text(argv[4]),
                                   static_cast<size_t>(max_bytes)));
}

// The order of the NOCASE collation that catalogs of earlier versions were
// indexed in: the built-in NOCASE on ASCII text (letters folded to lower case),
// and the other letters Utf8Lower knows, Cyrillic among them, folded too.
int LegacyNoCaseCompare(void*, int size1, const void* data1, int size2, const void* data2) {
  const auto* a = static_cast<const unsigned char*>(data1);
  const auto* b = static_cast<const unsigned char*>(data2);
  const int common = size1 < size2 ? size1 : size2;
  int i = 0;
  for (; i < common; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 0x80 || y >= 0x80) break;
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == common) return size1 == size2 ? 0 : (size1 < size2 ? -1 : 1);
  // Everything before i was ASCII, so i starts a character in both texts.
  return Utf8CompareIgnoringCase(
      {reinterpret_cast<const char*>(a + i), static_cast<size_t>(size1 - i)},
      {reinterpret_cast<const char*>(b + i), static_cast<size_t>(size2 - i)});
}

using SqlFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

struct FunctionDefinition {
  const char* name;
  int args;
  SqlFunction function;
};

constexpr FunctionDefinition kFunctions[] = {
    {"jet_add", 2, JetAdd},
    {"jet_idiv", 2, JetIntegerDivide},
    {"jet_pow", 2, JetPower},
    {"jet_ucase", 1, JetUcase},
    {"jet_lcase", 1, JetLcase},
    {"jet_left", 2, JetLeft},
    {"jet_right", 2, JetRight},
    {"jet_mid", 2, JetMid},
    {"jet_mid", 3, JetMid},
    {"jet_len", 1, JetLen},
    {"jet_instr", 2, JetInstr},
    {"jet_instr", 3, JetInstr},
    {"jet_instr", 4, JetInstr},
    {"jet_str", 1, JetStr},
    {"jet_val", 1, JetVal},
    {"jet_cstr", 1, JetCstr},
    {"jet_cint", 1, JetCint},
    {"jet_clng", 1, JetClng},
    {"jet_round", 1, JetRound},
    {"jet_round", 2, JetRound},
    {"jet_format", 1, JetFormat},
    {"jet_format", 2, JetFormat},
    {"jet_like", 2, JetLikeFunction},
    {"like", 2, SqlLike},
    {"like", 3, SqlLike},
    {"tomeva_fold", 1, TomevaFold},
    {"tomeva_search_fold", 1, TomevaSearchFold},
    {"tomeva_search_query", 1, TomevaSearchQuery},
    {"tomeva_shown_name", 6, TomevaShownName},
};

// Whether text ends in " [digits]", the form of a key that shown names append.
bool EndsWithKey(std::string_view text) {
  if (text.empty() || text.back() != ']') return false;
  size_t i = text.size() - 1;
  size_t digits = 0;
  while (i > 0 && IsDigit(text[i - 1])) --i, ++digits;
  return digits > 0 && i >= 2 && text[i - 1] == '[' && text[i - 2] == ' ';
}

}  // namespace

Status RegisterJetFunctions(sqlite3* db) {
  if (db == nullptr) return Error{"cannot register the Jet SQL functions: no database"};
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (const FunctionDefinition& f : kFunctions) {
    if (sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.function, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
      return Error{std::string("cannot register SQL function ") + f.name + ": " +
                   sqlite3_errmsg(db)};
    }
  }
  return Status::Ok();
}

Status UseLegacyNoCase(sqlite3* db) {
  if (sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, LegacyNoCaseCompare,
                                  nullptr) != SQLITE_OK) {
    return Error{std::string("cannot replace the NOCASE collation: ") + sqlite3_errmsg(db)};
  }
  return Status::Ok();
}

std::string ShownNameWithKey(std::string_view text, std::string_view key, bool force_key,
                             size_t max_characters, std::string_view tail, size_t max_bytes) {
  std::string_view cut = Utf8Prefix(text, max_characters);
  bool keyed = force_key || cut.size() < text.size() || EndsWithKey(text);
  const std::string suffix = " [" + std::string(key) + "]";
  const size_t tail_bytes = ShownByteLength(tail);
  auto fits = [&](std::string_view part, bool with_key) {
    return ShownByteLength(part) + (with_key ? ShownByteLength(suffix) : 0) + tail_bytes <=
           max_bytes;
  };
  if (!fits(cut, keyed)) {
    keyed = true;
    // Drop characters from the end until the shown name fits.
    while (!cut.empty() && !fits(cut, true)) {
      size_t last = 0;
      for (size_t pos = 0; pos < cut.size(); pos += Utf8SequenceLength(cut, pos)) last = pos;
      cut = cut.substr(0, last);
    }
  }
  std::string out(cut);
  if (keyed) out += suffix;
  out += tail;
  return out;
}

}  // namespace tomeva::catalog
