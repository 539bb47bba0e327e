// The 80-bit arithmetic under the caller's environment.
#include "extended/extended.h"
#include "extended/fpu_state.h"
#include "library/quadsolve.h"
#include "library/record_call.h"
#include "runtime/runtime.h"

namespace {

Extended toModel(qs_extended value) {
  return Extended{value.significand, value.sign_exponent};
}

qs_extended fromModel(Extended value) {
  return qs_extended{value.significand, value.signExponent};
}

// Runs `operation` with the caller's control word and status flags in force
// and gives the flags back. An unmasked exception is the call's error, as it
// is a record's in the batch program: the operation finishes with its masked
// result, and the call returns the exception's run-time error code.
template <typename Operation>
int underEnvironment(qs_environment* env, Operation operation) {
  constexpr std::uint16_t fixedFields =
      extended::precisionControlBits | extended::roundingControlBits;
  if (env == nullptr || (env->control_word & fixedFields) != extended::precisionControlExtended) {
    return QS_ERROR_ARGUMENT;
  }
  library::beginCall();
  extended::loadControlWord(env->control_word);
  extended::detail::fpuState.statusFlags =
      static_cast<std::uint16_t>(env->status_flags & extended::exceptionMaskBits);
  operation();
  env->status_flags = extended::statusFlags();
  return recordErrorCode();
}

template <typename Binary>
int binary(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result, Binary op) {
  if (result == nullptr) return QS_ERROR_ARGUMENT;
  return underEnvironment(env, [&] { *result = fromModel(op(toModel(a), toModel(b))); });
}

}  // namespace

int qs_add(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result) {
  return binary(env, a, b, result, extended::add);
}

int qs_subtract(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result) {
  return binary(env, a, b, result, extended::subtract);
}

int qs_multiply(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result) {
  return binary(env, a, b, result, extended::multiply);
}

int qs_divide(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result) {
  return binary(env, a, b, result, extended::divide);
}

int qs_square_root(qs_environment* env, qs_extended x, qs_extended* result) {
  if (result == nullptr) return QS_ERROR_ARGUMENT;
  return underEnvironment(env, [&] { *result = fromModel(extended::squareRoot(toModel(x))); });
}

int qs_compare(qs_environment* env, qs_extended a, qs_extended b, int* result) {
  if (result == nullptr) return QS_ERROR_ARGUMENT;
  // The model's order of results is the interface's: less, equal, greater,
  // unordered.
  return underEnvironment(
      env, [&] { *result = static_cast<int>(extended::compare(toModel(a), toModel(b))); });
}

int qs_from_double(qs_environment* env, double x, qs_extended* result) {
  if (result == nullptr) return QS_ERROR_ARGUMENT;
  return underEnvironment(env, [&] { *result = fromModel(extended::fromDouble(x)); });
}

int qs_to_double(qs_environment* env, qs_extended x, double* result) {
  if (result == nullptr) return QS_ERROR_ARGUMENT;
  return underEnvironment(env, [&] { *result = extended::toDouble(toModel(x)); });
}
