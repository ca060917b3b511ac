/* A small content plugin for the field host tests, built as a real shared
 * object. Its fields answer every value type and result code of the content
 * plugin interface; it logs the calls the tests check (default parameters,
 * writes, unloading and the library's own finalisation) to "wdx_test.log" in
 * the folder of the default ini name it is given, each line starting with the
 * file name of the library, so that copies of it can be told apart. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "wdx_plugin.h"

#define EXPORT __attribute__((visibility("default")))

static char log_path[4096];
static char stored_value[1024] = "";
static int default_params_calls = 0;

static const char* LibraryName(void) {
  Dl_info info;
  if (dladdr((void*)&LibraryName, &info) == 0 || info.dli_fname == NULL) return "?";
  const char* slash = strrchr(info.dli_fname, '/');
  return slash != NULL ? slash + 1 : info.dli_fname;
}

static void Log(const char* format, const char* text) {
  if (log_path[0] == '\0') return;
  FILE* log = fopen(log_path, "a");
  if (log == NULL) return;
  fprintf(log, "%s ", LibraryName());
  fprintf(log, format, text);
  fputc('\n', log);
  fclose(log);
}

struct Field {
  const char* name;
  int type;
  const char* units;
};

static const struct Field kFields[] = {
    {"Int32", ft_numeric_32, ""},
    {"Int64", ft_numeric_64, ""},
    {"Double", ft_numeric_floating, ""},
    {"Date", ft_date, ""},
    {"Time", ft_time, ""},
    {"BoolFalse", ft_boolean, ""},
    {"BoolTrue", ft_boolean, ""},
    {"Long", ft_string, ""},
    {"LongCyrillic", ft_string, ""},
    {"Empty", ft_string, ""},
    {"FileError", ft_string, ""},
    {"Note", ft_string, "first|second|third"},
    {"ParamsCalls", ft_numeric_32, ""},
    {"DateTime", ft_datetime, ""},
    {"Unknown", ft_string, ""},
    {"Choice", ft_multiplechoice, "a|b"},
};
enum { kFieldCount = sizeof kFields / sizeof kFields[0] };

EXPORT int ContentGetSupportedField(int index, char* name, char* units, int maxlen) {
  if (index < 0 || index >= kFieldCount) return ft_nomorefields;
  snprintf(name, (size_t)maxlen, "%s", kFields[index].name);
  snprintf(units, (size_t)maxlen, "%s", kFields[index].units);
  return kFields[index].type;
}

/* Writes up to maxlen bytes of text; the caller's zeroed buffer ends it. */
static int PutText(void* value, int maxlen, const char* text, size_t length) {
  memcpy(value, text, length < (size_t)maxlen ? length : (size_t)maxlen);
  return ft_string;
}

EXPORT int ContentGetValue(char* file_name, int index, int unit, void* value, int maxlen,
                           int flags) {
  (void)flags;
  char text[2048];
  switch (index) {
    case 0: {
      int32_t v = -123456;
      memcpy(value, &v, sizeof v);
      return ft_numeric_32;
    }
    case 1: {
      int64_t v = -1234567890123LL;
      memcpy(value, &v, sizeof v);
      return ft_numeric_64;
    }
    case 2: {
      double v = 2.5;
      memcpy(value, &v, sizeof v);
      return ft_numeric_floating;
    }
    case 3: {
      tdateformat d = {2005, 3, 7};
      memcpy(value, &d, sizeof d);
      return ft_date;
    }
    case 4: {
      ttimeformat t = {9, 5, 0};
      memcpy(value, &t, sizeof t);
      return ft_time;
    }
    case 5:
    case 6: {
      int32_t v = index == 6 ? 7 : 0;
      memcpy(value, &v, sizeof v);
      return ft_boolean;
    }
    case 7:
      memset(text, 'x', 2000);
      return PutText(value, maxlen, text, 2000);
    case 8: /* 600 two-byte letters: a cut at 1023 bytes falls inside one */
      for (int i = 0; i < 600; ++i) memcpy(text + 2 * i, "\xd1\x8f", 2);
      return PutText(value, maxlen, text, 1200);
    case 9:
      return ft_fieldempty;
    case 10:
      return ft_fileerror;
    case 11:
      snprintf(text, sizeof text, "%s|%d|%s", file_name, unit, stored_value);
      return PutText(value, maxlen, text, strlen(text));
    case 12:
      memcpy(value, &default_params_calls, sizeof default_params_calls);
      return ft_numeric_32;
    case 13:
      return ft_datetime;
    case 14:
      return 42;
    case 15:
      return PutText(value, maxlen, "b", 1);
    default:
      return ft_nosuchfield;
  }
}

EXPORT int ContentSetValue(char* file_name, int index, int unit, int type, void* value, int flags) {
  char line[2048];
  snprintf(line, sizeof line, "%s %d %d %d %d %s", file_name, index, unit, type, flags,
           (const char*)value);
  Log("set %s", line);
  if (index == 11) snprintf(stored_value, sizeof stored_value, "%s", (const char*)value);
  return 0;
}

EXPORT void ContentSetDefaultParams(ContentDefaultParamStruct* params) {
  ++default_params_calls;
  const char* slash = strrchr(params->DefaultIniName, '/');
  size_t folder = slash != NULL ? (size_t)(slash - params->DefaultIniName) + 1 : 0;
  snprintf(log_path, sizeof log_path, "%.*swdx_test.log", (int)folder, params->DefaultIniName);
  char line[512];
  snprintf(line, sizeof line, "%d %u %u %s", params->size, params->PluginInterfaceVersionLow,
           params->PluginInterfaceVersionHi, params->DefaultIniName);
  Log("params %s", line);
}

EXPORT void ContentPluginUnloading(void) { Log("unloading%s", ""); }

__attribute__((destructor)) static void Finish(void) { Log("fini%s", ""); }
