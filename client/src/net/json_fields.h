#pragma once
// Typed reading of server JSON. A required key is read with `at` (a missing
// key or a value that is not an object throws the library's error); an
// optional key falls back to its default only when absent. Numbers convert
// between integer and floating point, booleans count as 0 and 1, a fraction
// is cut off towards zero. A number outside the range of the target integer
// type (1e300 as a sequence number, -1 where unsigned, NaN) is refused with
// "ERR_BAD_SERVER_MESSAGE" instead of being converted: a server is not
// trusted to stay within range. Where a field has a range rule of its own,
// the caller passes that rule's code instead.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace vobu {

using json = nlohmann::json;

constexpr const char* kBadServerMessage = "ERR_BAD_SERVER_MESSAGE";

int32_t jsonInt(const json& value, const char* rangeCode = kBadServerMessage);
uint32_t jsonUint(const json& value, const char* rangeCode = kBadServerMessage);
// An unsigned value kept in a signed 32-bit field: 0..2147483647.
int32_t jsonUintAsInt(const json& value, const char* rangeCode = kBadServerMessage);
double jsonDouble(const json& value);
// Narrowed as the hardware does it: beyond the float range is infinite.
float jsonFloat(const json& value);
float narrowToFloat(double value);

int32_t requiredInt(const json& object, const char* key, const char* rangeCode = kBadServerMessage);
uint32_t requiredUint(const json& object, const char* key, const char* rangeCode = kBadServerMessage);
int32_t requiredUintAsInt(const json& object, const char* key, const char* rangeCode = kBadServerMessage);
double requiredDouble(const json& object, const char* key);
float requiredFloat(const json& object, const char* key);
std::string requiredString(const json& object, const char* key);
bool requiredBool(const json& object, const char* key);

int32_t optionalInt(const json& object, const char* key, int32_t fallback, const char* rangeCode = kBadServerMessage);
uint32_t optionalUint(const json& object, const char* key, uint32_t fallback,
                      const char* rangeCode = kBadServerMessage);
int32_t optionalUintAsInt(const json& object, const char* key, int32_t fallback,
                          const char* rangeCode = kBadServerMessage);
double optionalDouble(const json& object, const char* key, double fallback);
float optionalFloat(const json& object, const char* key, float fallback);
std::string optionalString(const json& object, const char* key, const std::string& fallback);
bool optionalBool(const json& object, const char* key, bool fallback);

}  // namespace vobu
