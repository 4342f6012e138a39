#include "net/json_fields.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace vobu {
namespace {

[[noreturn]] void outOfRange(const char* code) { throw std::runtime_error(code); }

// The integer value of a JSON number or boolean within lowest..highest.
int64_t integerIn(const json& value, int64_t lowest, int64_t highest, const char* code) {
    int64_t result = 0;
    switch (value.type()) {
        case json::value_t::boolean:
            result = value.get<bool>() ? 1 : 0;
            break;
        case json::value_t::number_integer:
            result = value.get<int64_t>();
            break;
        case json::value_t::number_unsigned: {
            const uint64_t big = value.get<uint64_t>();
            if (big > uint64_t(highest)) outOfRange(code);
            result = int64_t(big);
            break;
        }
        case json::value_t::number_float: {
            const double truncated = std::trunc(value.get<double>());
            // NaN fails both comparisons; the bounds are exact in a double.
            if (!(truncated >= double(lowest) && truncated <= double(highest))) outOfRange(code);
            result = int64_t(truncated);
            break;
        }
        default:
            // Strings, null, arrays, objects: the library's own type error.
            return value.get<int64_t>();
    }
    if (result < lowest || result > highest) outOfRange(code);
    return result;
}

// Optional keys: absent gives the default; the library refuses value() on
// anything but an object.
const json* findOptional(const json& object, const char* key) {
    if (!object.is_object())
        throw json::type_error::create(306, std::string("cannot use value() with ") + object.type_name(), &object);
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

}  // namespace

int32_t jsonInt(const json& value, const char* rangeCode) {
    return int32_t(
        integerIn(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), rangeCode));
}

uint32_t jsonUint(const json& value, const char* rangeCode) {
    return uint32_t(integerIn(value, 0, std::numeric_limits<uint32_t>::max(), rangeCode));
}

int32_t jsonUintAsInt(const json& value, const char* rangeCode) {
    return int32_t(integerIn(value, 0, std::numeric_limits<int32_t>::max(), rangeCode));
}

double jsonDouble(const json& value) {
    switch (value.type()) {
        case json::value_t::boolean:
            return value.get<bool>() ? 1.0 : 0.0;
        case json::value_t::number_integer:
            return double(value.get<int64_t>());
        case json::value_t::number_unsigned:
            return double(value.get<uint64_t>());
        case json::value_t::number_float:
            return value.get<double>();
        default:
            return value.get<double>();  // throws the library's type error
    }
}

float narrowToFloat(double value) {
    // Round to nearest: doubles from FLT_MAX up to (not including) the
    // midpoint between FLT_MAX and 2^128 round to FLT_MAX, the rest is
    // infinite. Written out because the plain conversion of an
    // out-of-range double is undefined in C++.
    constexpr double kInfinityFrom = double(FLT_MAX) + 0x1p103;
    if (std::isnan(value) || std::fabs(value) <= double(FLT_MAX)) return static_cast<float>(value);
    if (std::fabs(value) < kInfinityFrom) return std::copysign(FLT_MAX, float(value > 0 ? 1 : -1));
    return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

float jsonFloat(const json& value) { return narrowToFloat(jsonDouble(value)); }

int32_t requiredInt(const json& object, const char* key, const char* rangeCode) {
    return jsonInt(object.at(key), rangeCode);
}

uint32_t requiredUint(const json& object, const char* key, const char* rangeCode) {
    return jsonUint(object.at(key), rangeCode);
}

int32_t requiredUintAsInt(const json& object, const char* key, const char* rangeCode) {
    return jsonUintAsInt(object.at(key), rangeCode);
}

double requiredDouble(const json& object, const char* key) { return jsonDouble(object.at(key)); }
float requiredFloat(const json& object, const char* key) { return jsonFloat(object.at(key)); }
std::string requiredString(const json& object, const char* key) { return object.at(key).get<std::string>(); }
bool requiredBool(const json& object, const char* key) { return object.at(key).get<bool>(); }

int32_t optionalInt(const json& object, const char* key, int32_t fallback, const char* rangeCode) {
    const json* value = findOptional(object, key);
    return value ? jsonInt(*value, rangeCode) : fallback;
}

uint32_t optionalUint(const json& object, const char* key, uint32_t fallback, const char* rangeCode) {
    const json* value = findOptional(object, key);
    return value ? jsonUint(*value, rangeCode) : fallback;
}

int32_t optionalUintAsInt(const json& object, const char* key, int32_t fallback, const char* rangeCode) {
    const json* value = findOptional(object, key);
    return value ? jsonUintAsInt(*value, rangeCode) : fallback;
}

double optionalDouble(const json& object, const char* key, double fallback) {
    const json* value = findOptional(object, key);
    return value ? jsonDouble(*value) : fallback;
}

float optionalFloat(const json& object, const char* key, float fallback) {
    const json* value = findOptional(object, key);
    return value ? jsonFloat(*value) : fallback;
}

std::string optionalString(const json& object, const char* key, const std::string& fallback) {
    const json* value = findOptional(object, key);
    return value ? value->get<std::string>() : fallback;
}

bool optionalBool(const json& object, const char* key, bool fallback) {
    const json* value = findOptional(object, key);
    return value ? value->get<bool>() : fallback;
}

}  // namespace vobu
