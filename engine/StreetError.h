#pragma once
// Failures inside the model and engine. The text names the class and method, a colon and the reason,
// e.g. "TItemList.LoadFromStream: ident ITEMLIST not found".
#include <stdexcept>
#include <string>

class EStreetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EStreetError with the text "<where>: <reason>".
[[noreturn]] void RaiseStreetError(const std::string &where, const std::string &reason);
