#pragma once

// The forum's content: three sections with a few fixed threads that tests
// and the demo rely on (see README.md), filled up with generated threads.
// Everything is deterministic, so every start serves the same forum.

#include "Store.h"

#include <set>
#include <string>
#include <string_view>

namespace forumsim {

inline constexpr int kLargeThreadFirstNumber = 90001;

// "http://HOST/Bilder/B<number>.jpg" followed by `query` (with its "?").
std::string pictureUrl(std::string_view pictureHost, int number, std::string_view query = {});

// Adds the sections and their threads to an empty store.
void seedForum(ForumStore &store, std::string_view pictureHost);

// The numbers of the pictures on `pictureHost` that the seeded threads show.
std::set<int> seededPictureNumbers(const ForumStore &store, std::string_view pictureHost);

// Adds one thread of `messages` messages to section "forum", numbered from
// kLargeThreadFirstNumber, dated before every other thread so that it sits on
// the last index page. Returns its first message's number, 0 on failure.
int seedLargeThread(ForumStore &store, int messages, std::string_view pictureHost);

} // namespace forumsim
