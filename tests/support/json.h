#pragma once
// A small JSON reader for the runner's state dumps: objects, arrays,
// integers, strings, true/false/null. Enough to assert on, no more.
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tallivo::testing {

struct Json {
    enum Kind { kNull, kNumber, kString, kArray, kObject, kBool } kind = kNull;
    long long number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](const std::string& key) const {
        static const Json missing;
        auto it = members.find(key);
        return it == members.end() ? missing : it->second;
    }
    const Json& operator[](std::size_t i) const {
        static const Json missing;
        return i < items.size() ? items[i] : missing;
    }
    std::vector<long long> numbers() const {
        std::vector<long long> out;
        for (const Json& j : items) out.push_back(j.number);
        return out;
    }
    std::vector<std::string> strings() const {
        std::vector<std::string> out;
        for (const Json& j : items) out.push_back(j.text);
        return out;
    }
};

class JsonParser {
  public:
    explicit JsonParser(const std::string& s) : s_(s) {}
    bool parse(Json& out) {
        ok_ = true;
        value(out);
        skip();
        return ok_ && pos_ == s_.size();
    }

  private:
    void skip() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool eat(char c) {
        skip();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void string(std::string& out) {
        if (!eat('"')) {
            ok_ = false;
            return;
        }
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c == '\\' && pos_ < s_.size()) {
                char e = s_[pos_++];
                if (e == 'n')
                    c = '\n';
                else if (e == 't')
                    c = '\t';
                else if (e == 'u' && pos_ + 4 <= s_.size()) {
                    c = static_cast<char>(std::stoi(s_.substr(pos_, 4), nullptr, 16));
                    pos_ += 4;
                } else
                    c = e;
            }
            out += c;
        }
        if (!eat('"')) ok_ = false;
    }
    void value(Json& out) {
        skip();
        if (pos_ >= s_.size()) {
            ok_ = false;
            return;
        }
        const char c = s_[pos_];
        if (c == '{') {
            out.kind = Json::kObject;
            ++pos_;
            if (eat('}')) return;
            do {
                std::string key;
                string(key);
                if (!eat(':')) {
                    ok_ = false;
                    return;
                }
                value(out.members[key]);
            } while (ok_ && eat(','));
            if (!eat('}')) ok_ = false;
        } else if (c == '[') {
            out.kind = Json::kArray;
            ++pos_;
            if (eat(']')) return;
            do {
                out.items.emplace_back();
                value(out.items.back());
            } while (ok_ && eat(','));
            if (!eat(']')) ok_ = false;
        } else if (c == '"') {
            out.kind = Json::kString;
            string(out.text);
        } else if (s_.compare(pos_, 4, "true") == 0 || s_.compare(pos_, 5, "false") == 0) {
            out.kind = Json::kBool;
            out.number = s_[pos_] == 't';
            pos_ += out.number ? 4 : 5;
        } else if (s_.compare(pos_, 4, "null") == 0) {
            pos_ += 4;
        } else {
            out.kind = Json::kNumber;
            std::size_t used = 0;
            try {
                out.number = std::stoll(s_.substr(pos_), &used);
            } catch (...) {
                ok_ = false;
            }
            pos_ += used;
            while (pos_ < s_.size() &&
                   (s_[pos_] == '.' || std::isdigit(static_cast<unsigned char>(s_[pos_]))))
                ++pos_;
        }
    }
    const std::string& s_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

inline bool parseJson(const std::string& text, Json& out) {
    return JsonParser(text).parse(out);
}

}  // namespace tallivo::testing
