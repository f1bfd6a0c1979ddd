#include "core/readers/TakeoutJson.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <string>

namespace kalvera {
namespace {

// Seconds from 1970 up to the end of 9999.
constexpr std::int64_t kLastSecond = 253'402'300'799;

bool SecondsOf(const nlohmann::json& stamp, std::int64_t& seconds) {
    std::int64_t value = 0;
    if (stamp.is_string()) {
        const std::string& text = stamp.get_ref<const std::string&>();
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
            return false;
    } else if (stamp.is_number_integer()) {
        value = stamp.get<std::int64_t>();
    } else {
        return false;
    }
    if (value <= 0 || value > kLastSecond)
        return false;
    seconds = value;
    return true;
}

} // namespace

JsonDate TakeoutDate(std::string_view text, std::int64_t& seconds) {
    const nlohmann::json json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded())
        return JsonDate::Damaged;
    if (!json.is_object())
        return JsonDate::None;
    for (const char* key : {"photoTakenTime", "creationTime"}) {
        const auto time = json.find(key);
        if (time == json.end() || !time->is_object())
            continue;
        const auto stamp = time->find("timestamp");
        if (stamp != time->end() && SecondsOf(*stamp, seconds))
            return JsonDate::Found;
    }
    return JsonDate::None;
}

} // namespace kalvera
