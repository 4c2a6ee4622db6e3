#include "codes.h"

#include "Belmo.h"
#include "Nakor.h"

namespace nakor {

int map_lower_error(int32_t code) {
    switch (code) {
    case BELMO_ERROR_NONE: return kDone;
    case BELMO_ERROR_RESOURCES: return kNoResources;
    case BELMO_ERROR_ARGUMENT: return kBadReply;
    case BELMO_ERROR_DEVICE: return kUnitError;
    case BELMO_ERROR_TIMEOUT: return kLowerTimeout;
    case BELMO_ERROR_GONE: return kLowerGone;
    default: return kOtherFailure;
    }
}

int failed_call(int32_t code) {
    const int mapped = map_lower_error(code);
    return mapped == kDone ? kOtherFailure : mapped;
}

int32_t export_code(int internal) {
    switch (internal) {
    case kDone: return NAKOR_OK;
    case kSessionFailed: return NAKOR_NO_UNIT;
    case kUnitError: return NAKOR_UNIT_ERROR;
    case kBadReply: return NAKOR_BAD_ARGUMENT;
    case kLowerTimeout: return NAKOR_TIMEOUT;
    case kNoResources: return NAKOR_NO_MEMORY;
    default: return NAKOR_FAILED;
    }
}

}  // namespace nakor
