#include "core/CommandLine.h"
#include "core/FileTimeWriter.h"
#include "core/HandedPaths.h"
#include "core/NamePatterns.h"
#include "datetime/Calendar.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windows.h>

#include <cmath>
#include <cwctype>

namespace kalvera {
namespace {

std::wstring Lowered(std::wstring_view text) {
    std::wstring lower(text);
    CharLowerBuffW(lower.data(), DWORD(lower.size()));
    return lower;
}

// The switch's name in lower case without its "/" or "-"; empty for a path.
std::wstring SwitchName(std::wstring_view argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-'))
        return {};
    return Lowered(argument.substr(1));
}

// Reads digits from at on; false for none.
bool Number(std::wstring_view text, size_t& at, std::int64_t& value, size_t most = 9) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && at - start < most && text[at] >= L'0' && text[at] <= L'9')
        value = value * 10 + (text[at++] - L'0');
    return at > start;
}

// The path is the folder or below it, whatever the case of its letters.
bool Inside(std::wstring_view path, std::wstring_view folder) {
    return path.size() >= folder.size() &&
           CompareStringOrdinal(path.data(), int(folder.size()), folder.data(), int(folder.size()),
                                TRUE) == CSTR_EQUAL &&
           (path.size() == folder.size() || folder.ends_with(L'\\') ||
            path[folder.size()] == L'\\');
}

} // namespace

bool ParseCommandTime(std::wstring_view text, FileTime& utc) {
    std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    size_t at = 0;
    auto mark = [&](wchar_t wanted) { return at < text.size() && text[at++] == wanted; };
    if (!Number(text, at, year, 4) || at >= text.size())
        return false;
    const wchar_t dateMark = text[at]; // "-" or "/", the same twice
    if ((dateMark != L'-' && dateMark != L'/') || !mark(dateMark) || !Number(text, at, month, 2) ||
        !mark(dateMark) || !Number(text, at, day, 2) || at >= text.size() ||
        (text[at] != L' ' && text[at] != L'T'))
        return false;
    while (++at < text.size() && text[at] == L' ') {
    }
    if (!Number(text, at, hour, 2) || !mark(L':') || !Number(text, at, minute, 2))
        return false;
    if (at < text.size() && (!mark(L':') || !Number(text, at, second, 2)))
        return false;
    if (at != text.size() || year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(int(year), int(month)) || hour > 23 || minute > 59 || second > 59)
        return false;
    const std::int64_t seconds = hour * 3600 + minute * 60 + second;
    const DateTime local =
        DaysSinceEpoch(int(year), int(month), int(day)) + double(seconds) / 86400;
    utc = LocalDateTimeToFileTime(local);
    // A time the clocks skip reads back as another.
    const DateTime back = FileTimeToLocalDateTime(utc);
    return std::llround(back * 86400) == std::llround(local * 86400);
}

bool ParseCommandShift(std::wstring_view text, std::int64_t& seconds) {
    size_t at = 0;
    std::int64_t sign = 1;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        sign = text[at++] == L'-' ? -1 : 1;
    std::int64_t total = 0, value = 0;
    bool any = false;
    while (at < text.size()) {
        if (text[at] == L' ') {
            ++at;
            continue;
        }
        if (!Number(text, at, value))
            return false;
        any = true;
        const wchar_t unit = at < text.size() ? wchar_t(std::towlower(text[at])) : L'\0';
        if (unit == L'd' || unit == L'h' || unit == L'm' || unit == L's') {
            ++at;
            total += value * (unit == L'd' ? 86400 : unit == L'h' ? 3600 : unit == L'm' ? 60 : 1);
            continue;
        }
        // "h:mm" or "h:mm:ss".
        std::int64_t minutes = 0, secs = 0;
        if (unit != L':' || !Number(text, ++at, minutes, 2) || minutes > 59)
            return false;
        if (at < text.size() && text[at] == L':' && (!Number(text, ++at, secs, 2) || secs > 59))
            return false;
        total += value * 3600 + minutes * 60 + secs;
        if (total > 36500LL * 86400)
            return false;
    }
    if (!any || total == 0 || total > 36500LL * 86400)
        return false;
    seconds = sign * total;
    return true;
}

ParsedCommand ParseCommandLine(const std::vector<std::wstring>& arguments, std::wstring_view folder,
                               FileTime now) {
    ParsedCommand parsed;
    CommandLine& command = parsed.command;
    const std::wstring here(folder);
    if (arguments.empty())
        return parsed;
    const std::wstring first = SwitchName(arguments[0]);
    if (first == L"run")
        command.action = CommandAction::Run;
    else if (first == L"undo")
        command.action = CommandAction::Undo;
    else if (first == L"history")
        command.action = CommandAction::History;
    else if (first == L"?" || first == L"help")
        command.action = CommandAction::Usage;
    else
        return parsed; // paths for the window
    auto fail = [&](std::wstring text) {
        parsed.error = std::move(text);
        return parsed;
    };
    std::vector<std::wstring> named;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const std::wstring name = SwitchName(argument);
        auto value = [&](std::wstring& to) {
            if (i + 1 >= arguments.size())
                return false;
            to = arguments[++i];
            return true;
        };
        auto source = [&](TimeSource kind) {
            if (command.source != TimeSource::None)
                return false;
            command.source = kind;
            return true;
        };
        std::wstring text;
        if (name.empty()) {
            named.push_back(argument);
        } else if (command.action != CommandAction::Run && name != L"quiet") {
            return fail(L"このスイッチは " + arguments[0] + L" とは使えません: " + argument);
        } else if (name == L"c" || name == L"w" || name == L"a") {
            (name == L"c"   ? command.kinds.creation
             : name == L"w" ? command.kinds.lastWrite
                            : command.kinds.lastAccess) = true;
        } else if (name == L"sub") {
            command.subfolders = true;
        } else if (name == L"folders") {
            command.folders = true;
        } else if (name == L"preview") {
            command.preview = true;
        } else if (name == L"quiet") {
            command.quiet = true;
        } else if (name == L"filter") {
            if (!value(command.filter))
                return fail(L"/filter の後に対象の名前がありません");
        } else if (name == L"csv") {
            if (!value(text))
                return fail(L"/csv の後にファイル名がありません");
            command.csv = HandedPath(text, here);
            if (command.csv.empty())
                return fail(L"CSVファイルのフォルダがありません: " + text);
        } else if (name == L"set" || name == L"shift" || name == L"from") {
            const std::wstring sw = L"/" + name;
            if (!value(text))
                return fail(sw + L" の後に値がありません");
            if (!source(name == L"set"     ? TimeSource::Set
                        : name == L"shift" ? TimeSource::Shift
                                           : TimeSource::From))
                return fail(L"日時の指定はひとつだけです: " + argument);
            if (name == L"set") {
                if (Lowered(text) == L"now")
                    command.time = now;
                else if (!ParseCommandTime(text, command.time))
                    return fail(L"日時ではないか、存在しない日時です: " + text);
            } else if (name == L"shift") {
                if (!ParseCommandShift(text, command.shiftSeconds))
                    return fail(L"ずらす時間ではありません: " + text);
            } else {
                command.from = HandedPath(text, here);
                if (!IsExistingFolder(command.from))
                    return fail(L"フォルダがありません: " + text);
            }
        } else if (name == L"photo" || name == L"name" || name == L"sidecar" ||
                   name == L"contents") {
            if (!source(name == L"photo"     ? TimeSource::Photo
                        : name == L"name"    ? TimeSource::Name
                        : name == L"sidecar" ? TimeSource::Sidecar
                                             : TimeSource::Contents))
                return fail(L"日時の指定はひとつだけです: " + argument);
        } else {
            return fail(L"不明なスイッチです: " + argument);
        }
    }
    if (command.action != CommandAction::Run) {
        if (!named.empty())
            return fail(L"パスは /run とだけ使えます: " + named[0]);
        return parsed;
    }
    if (command.source == TimeSource::None)
        return fail(L"日時の指定がありません (/set, /shift, /photo, /name, /sidecar, /contents, "
                    L"/from のどれか)");
    if (!command.kinds.creation && !command.kinds.lastWrite && !command.kinds.lastAccess)
        return fail(L"変更する時刻がありません (/c, /w, /a のどれか)");
    if (named.empty())
        return fail(L"変更するファイルまたはフォルダがありません");
    if (const NamePatterns names(command.filter); !names.Invalid().empty())
        return fail(L"/filter にファイル名に使えない文字があります: " +
                    std::wstring(names.Invalid()));
    if (!command.csv.empty() && !IsExistingFolder(std::wstring(SplitPath(command.csv).first)))
        return fail(L"CSVファイルのフォルダがありません: " + command.csv);
    for (const std::wstring& path : named) {
        const std::wstring full = HandedPath(path, here);
        if (KindOnDisk(full) == EntryKind::Neither)
            return fail(L"見つかりません: " + path);
        if (!command.from.empty() && Inside(command.from, full))
            return fail(L"/from のフォルダが変更するフォルダの中にあります: " + command.from);
        command.paths.push_back(full);
    }
    return parsed;
}

} // namespace kalvera
