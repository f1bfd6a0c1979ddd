#pragma once
// Which file beside a photo holds its date: a JSON file of a photo service's
// export, or an XMP sidecar of an editor. The export names its JSON files
// NAME.EXT.json or NAME.EXT.supplemental-metadata.json, cut to 51
// characters with ".json" kept (IMG_1234.JPG.supplemental-metad.json, a
// long NAME cut itself); a numbered copy NAME(1).EXT has its number after
// the cut part (NAME.EXT(1).json). An edited copy NAME-edited.EXT and a
// motion photo's movie NAME.MP4 share the JSON of NAME.EXT, the photo.
// Editors write NAME.xmp or NAME.EXT.xmp. Names are compared without regard
// to case. No window code: names come from the disk and are fuzzed.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kalvera {

// True for a name that a sidecar has (.json, .xmp): never a target of a
// run that reads sidecars.
bool IsSidecarName(std::wstring_view name);
// True for a JSON file's name (.json); the other sidecars are XMP files.
bool IsJsonName(std::wstring_view name);

// The sidecars of one folder, by the names they answer to.
class SidecarIndex {
public:
    // An entry of the folder; names that are not sidecars are let go.
    void Add(std::wstring_view name);
    // The sidecar that holds the date of the file named name: its JSON
    // file first, then its XMP file. Empty for none.
    std::wstring Find(std::wstring_view name) const;

private:
    struct Json {
        std::uint32_t number; // the copy's number, 0 for none
        std::wstring name;
    };
    std::wstring FindJson(std::wstring_view name, std::uint32_t number) const;
    std::wstring OwnJson(std::wstring_view name) const;
    // By the name's stem (before ".json" and a copy's number), in lower case.
    std::unordered_map<std::wstring, std::vector<Json>> json_;
    // By the name before ".xmp", in lower case.
    std::unordered_map<std::wstring, std::wstring> xmp_;
};

} // namespace kalvera
