// THttpJsonReply: lenient reading of the maker's service replies.
//
// Every reply is meant to be a JSON object with the members "result" and
// "info", but the services are not consistent about their types: "result"
// comes as a JSON bool, a number or a text ("true", "1", "0"), and "info"
// as an object, as a text holding JSON, or as a plain text (a message key,
// a date-time). Each request reads them its own way, so the readers below
// convert rather than insist on one type. Nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

class THttpJsonReply {
public:
    // Anything that is not a JSON object (an empty body, HTML, a bare
    // number or array) gives a reply whose IsJson() is false and whose
    // readers all answer as for missing members.
    static THttpJsonReply Parse(std::string_view aBody);

    bool IsJson() const { return FIsJson; }
    bool HasResult() const;

    // true: JSON true, a non-zero number, or the text "true" or a non-zero
    // integer (blanks around and letter case ignored). Anything else false.
    bool ResultBool() const;
    // An integral number, a bool (1/0) or a text holding an integer; none
    // when "result" is missing or holds anything else.
    std::optional<int64_t> ResultInt() const;
    // A text as it stands; numbers in decimal, bools as "true"/"false";
    // empty when missing or null.
    std::string ResultText() const;

    // "info" as text: a text as it stands, a number or bool as its JSON
    // text, an object or array as compact JSON; empty when missing or null.
    std::string InfoText() const;
    // "info" as structured JSON: an object or array as it is, or a text
    // that parses as a JSON object or array; none otherwise.
    std::optional<nlohmann::json> InfoJson() const;

    const nlohmann::json& Json() const { return FJson; }

private:
    const nlohmann::json* Member(const char* aName) const;

    nlohmann::json FJson;
    bool FIsJson = false;
};
