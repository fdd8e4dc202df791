#pragma once
// No function of the table layer throws: an exception from inside one (no
// memory, a file-system error) becomes the failure its caller is given.
// Guarded runs a function's body under that rule.
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace zw::platform {

// body(), or onError(the exception) when body throws.
template <class Body, class OnError>
auto Guarded(Body&& body, OnError&& onError) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    return onError(e);
  }
}

// body(), or the failure text what + ": " + the exception's message.
template <class Body>
std::string Guarded(std::string_view what, Body&& body) {
  return Guarded(std::forward<Body>(body),
                 [what](const std::exception& e) { return std::string(what) + ": " + e.what(); });
}

// body(), or the failure text what + " " + file + ": " + the exception's message.
template <class Body>
std::string Guarded(std::string_view what, const std::filesystem::path& file, Body&& body) {
  return Guarded(std::forward<Body>(body), [what, &file](const std::exception& e) {
    return std::string(what) + " " + file.string() + ": " + e.what();
  });
}

}  // namespace zw::platform
