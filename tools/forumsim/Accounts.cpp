#include "Accounts.h"

#include "Text.h"

namespace forumsim {

void Accounts::add(std::string name, std::string password)
{
    const std::string key = asciiLower(trimmed(name));
    m_accounts[key] = Account{std::string(trimmed(name)), std::move(password)};
}

const Account *Accounts::find(std::string_view name) const
{
    const auto it = m_accounts.find(asciiLower(trimmed(name)));
    return it == m_accounts.end() ? nullptr : &it->second;
}

bool Accounts::passwordMatches(const Account &account, std::string_view password)
{
    const std::string &expected = account.password;
    const std::size_t n = expected.size() > password.size() ? expected.size() : password.size();
    std::size_t difference = expected.size() ^ password.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char a = i < expected.size() ? static_cast<unsigned char>(expected[i]) : 0;
        const unsigned char b = i < password.size() ? static_cast<unsigned char>(password[i]) : 0;
        difference |= static_cast<std::size_t>(a ^ b);
    }
    return difference == 0;
}

} // namespace forumsim
