// Declarations of the content plugin interface (WDX) as used on Linux: plain C
// calling convention, packed records, UTF-8 char* text. The field host loads
// content plugins by these export names; the built-in field sources answer with
// the same types and result codes.
#ifndef TOMEVA_INCLUDE_WDX_PLUGIN_H_
#define TOMEVA_INCLUDE_WDX_PLUGIN_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Field types returned by ContentGetSupportedField and ContentGetValue.
enum {
  ft_nomorefields = 0,
  ft_numeric_32 = 1,
  ft_numeric_64 = 2,
  ft_numeric_floating = 3,
  ft_date = 4,
  ft_time = 5,
  ft_boolean = 6,
  ft_multiplechoice = 7,
  ft_string = 8,
  ft_fulltext = 9,
  ft_datetime = 10,
  ft_stringw = 11,
};

// Negative results of ContentGetValue.
enum {
  ft_nosuchfield = -1,
  ft_fileerror = -2,
  ft_fieldempty = -3,
  ft_ondemand = -4,
  ft_notsupported = -5,
  ft_setcancel = -6,
};

// Flags of ContentSetValue.
enum { setflags_first_attribute = 1, setflags_last_attribute = 2, setflags_only_date = 4 };

#pragma pack(push, 1)
typedef struct {
  int size;
  uint32_t PluginInterfaceVersionLow;
  uint32_t PluginInterfaceVersionHi;
  char DefaultIniName[260];
} ContentDefaultParamStruct;

typedef struct {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDay;
} tdateformat;

typedef struct {
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
} ttimeformat;
#pragma pack(pop)

typedef int (*tContentGetSupportedField)(int FieldIndex, char* FieldName, char* Units, int maxlen);
typedef int (*tContentGetValue)(char* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                int maxlen, int flags);
typedef int (*tContentSetValue)(char* FileName, int FieldIndex, int UnitIndex, int FieldType,
                                void* FieldValue, int flags);
typedef void (*tContentSetDefaultParams)(ContentDefaultParamStruct* dps);
typedef void (*tContentPluginUnloading)(void);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(ContentDefaultParamStruct) == 272, "ContentDefaultParamStruct layout");
static_assert(sizeof(tdateformat) == 6, "tdateformat layout");
#endif

#endif  // TOMEVA_INCLUDE_WDX_PLUGIN_H_
