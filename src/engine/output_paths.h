// Where movies go and which sources and targets a run refuses.
#pragma once

#include "engine/convert_object.h"
#include "engine/engine_namespace.h"

#include <string>
#include <utility>
#include <vector>

namespace kestrova::engine {

// Output path of an individual movie: the source with its file name's extension, if any,
// replaced by ".swf" ("my.dir/picture" gives "my.dir/picture.swf").
std::string IndividualOutputPath(const std::string& source);
// The save dialog's fix-up: a path not ending in ".swf" (any case) gets it, replacing a
// 4-character extension of the file name such as ".jpg" ("out.d/m" gives "out.d/m.swf").
std::string FixSavePath(const std::string& path);
// Whether two paths name the same file: the same inode when either exists, else the same
// normalised path.
bool SameFile(const std::string& a, const std::string& b);
// Why a source cannot be converted because it is not a regular file (after following
// symbolic links): a folder, pipe or device would be read without end. Empty for a regular
// file and for one that does not exist (the converter reports that).
std::string SourceRefusal(const std::string& path);
// Why an individual entry's movie may not be written to target: it would replace a source
// of the list, or a movie an earlier entry (claimed: source, movie) writes. Empty when free.
std::string OutputRefusal(const ConvertObject& entry, const std::string& target,
                          const ConvertObject* first,
                          const std::vector<std::pair<std::string, std::string>>& claimed);

} // namespace kestrova::engine
