// Access to the options record by field name, for the command line's --set and its help.
// Record fields go by their own names ("frameRate", "backgroundColor"); format fields are
// written "format.EXT.FIELD" with the extension without its dot ("format.jpg.quality").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/convert_options.h"
#include "engine/engine_namespace.h"

namespace kestrova::engine {

// Sets one field from text. Accepted values:
// - integers: decimal or 0x hexadecimal, within the field's documented range; flags take
//   0/1, true/false, yes/no, on/off; `imageSizing` also stretch/keep/preset,
//   `performanceMode` leastram/maxram, `outputMode` single/individual;
// - colours: "#RRGGBB", or the stored 0x00BBGGRR value as a decimal or 0x number;
// - `compression`/`smallCompression` of picture and movie formats: jpeg, lossless, or the
//   stored 512/513; `compression` of audio formats: the encoding index 0..6 (6 keeps the samples
//   uncompressed);
// - `tempDirectory`: any text, given a trailing "/" when it has none (the text is put
//   directly in front of temporary file names); `preloaderImage`: any text.
// Returns 1, or 0 with the record unchanged and, when error is given, a message naming the
// unknown field or the bad value.
int SetOptionField(ConvertOptions& options, std::string_view name, std::string_view value,
                   std::string* error = nullptr);

// The current value of a field as text SetOptionField accepts. Returns 0 for an unknown name.
int GetOptionField(const ConvertOptions& options, std::string_view name, std::string& value);

// The first integer field outside the range SetOptionField accepts, as an error text naming
// the field, its value and the range; empty when every field is within range.
std::string FirstOutOfRangeField(const ConvertOptions& options);
// Gives every integer field outside its range its default value; returns one warning per
// field, naming it, the value, the range and the default used.
std::vector<std::string> ResetOutOfRangeFields(ConvertOptions& options);

// Every name SetOptionField accepts: record fields in declaration order, then the format
// fields of each entry in table order.
std::vector<std::string> OptionFieldNames();

} // namespace kestrova::engine
