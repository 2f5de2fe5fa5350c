#pragma once

// The picture server's pictures: the ones the seeded threads show, drawn on
// demand and cached, and the ones users upload, numbered from 10001 and kept
// in DIR/pictures (with DIR/pictures.log) when there is a data folder.
//
// Thread-safe.

#include "Accounts.h"
#include "Images.h"
#include "RecordLog.h"
#include "Store.h"

#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace forumsim {

inline constexpr int kFirstUploadNumber = 10001;
inline constexpr std::size_t kMaxPictureBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxPictureTitleChars = 100;

// Knobs for tests and benchmarks.
struct PictureKnobs {
    int delayMs = 0;                 // every picture answer waits this long
    std::map<int, int> slow;         // picture number -> extra wait
    std::set<int> missing;           // answered 404
};

struct PictureInfo {
    int number = 0;
    ImageType type = ImageType::Jpeg;
    int width = 0, height = 0;
    int dpi = 96;
    std::string title;
    std::string owner;
    bool ownerRegistered = false;
    bool seeded = false;
    Timestamp time = 0;
};

struct ServedPicture {
    int status = 404;
    std::string bytes;
    ImageType type = ImageType::None;
    int delayMs = 0;
};

struct UploadOutcome {
    int number = 0;          // the new picture's; 0 on failure
    int status = 0;          // HTTP status of the failure
    std::string message;     // German, for the error page
};

enum class LoginOutcome { WrongPassword, Owner, Guest };

class PictureStore {
public:
    PictureStore(const Accounts &accounts, PictureKnobs knobs);

    // The numbers the seeded threads show; each is drawn when first asked for.
    void addSeeded(const std::set<int> &numbers);
    // Loads DIR/pictures.log, checks the files in DIR/pictures (a file that
    // is not a whole JPEG or PNG picture is left out) and opens the log for
    // appending. Uploads after this are stored there.
    bool openArchive(const std::string &dataDir, std::ostream &errors, std::string &error);

    // The bytes of /Bilder/B<number>.jpg, with the wait the knobs ask for.
    ServedPicture picture(int number);
    std::optional<PictureInfo> info(int number) const;
    // Uploads newest first (at most `uploads`), then up to `seeded` seeded
    // pictures in number order.
    std::vector<PictureInfo> newest(std::size_t uploads, std::size_t seeded) const;

    UploadOutcome upload(std::string_view title, std::string_view name, std::string_view password,
                         std::string bytes);
    // Whether `password` opens the owner view of `picture` (from info()).
    LoginOutcome login(const PictureInfo &picture, std::string_view password) const;

    // Size and density of a seeded picture.
    static PictureInfo seededGeometry(int number);

private:
    struct Upload {
        PictureInfo info;
        std::string bytes;   // without a data folder
        std::string file;    // with one
    };

    std::string draw(int number);

    const Accounts &m_accounts;
    const PictureKnobs m_knobs;
    mutable std::mutex m_mutex;
    std::set<int> m_seeded;
    std::map<int, Upload> m_uploads;
    int m_nextNumber = kFirstUploadNumber;
    std::size_t m_memoryBytes = 0;
    std::string m_folder;    // DIR/pictures; empty without a data folder
    RecordLog m_log;

    // Drawn pictures, most recently used first, bounded in count and bytes.
    std::list<std::pair<int, std::string>> m_cache;
    std::size_t m_cacheBytes = 0;
};

} // namespace forumsim
