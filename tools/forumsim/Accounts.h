#pragma once

// The forum's registered members. A registered name posts and uploads only
// with its password; any other name posts as a guest. Names are compared
// without regard to ASCII letter case and surrounding blanks.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace forumsim {

inline constexpr std::string_view kSeededMember = "Hobelmeister";
inline constexpr std::string_view kSeededPassword = "Spaene42";
// The longest name, a member's or a guest's, that a post or an upload may
// carry, in characters.
inline constexpr std::size_t kMaxNameChars = 60;

struct Account {
    std::string name;       // as registered
    std::string password;
};

class Accounts {
public:
    // Replaces an earlier account of the same name.
    void add(std::string name, std::string password);
    // nullptr when the name is not registered.
    const Account *find(std::string_view name) const;
    // Compares without an early exit on the first differing character.
    static bool passwordMatches(const Account &account, std::string_view password);

private:
    std::unordered_map<std::string, Account> m_accounts;   // by folded name
};

} // namespace forumsim
