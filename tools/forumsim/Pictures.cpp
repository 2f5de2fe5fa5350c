#include "Pictures.h"

#include "Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace forumsim {

namespace {

constexpr std::size_t kCacheEntries = 64;
constexpr std::size_t kCacheBytes = 64 * 1024 * 1024;
constexpr std::size_t kMaxMemoryUploads = 256 * 1024 * 1024;

const char *extensionOf(ImageType type)
{
    return type == ImageType::Png ? "png" : "jpg";
}

// All of a picture file; nothing when it is empty or cannot be read whole.
std::optional<std::string> readPictureFile(const std::string &path)
{
    auto head = readFileHead(path, kMaxPictureBytes);
    if (!head || !head->whole() || head->bytes.empty())
        return std::nullopt;
    return std::move(head->bytes);
}

} // namespace

PictureStore::PictureStore(const Accounts &accounts, PictureKnobs knobs)
    : m_accounts(accounts), m_knobs(std::move(knobs))
{
}

PictureInfo PictureStore::seededGeometry(int number)
{
    PictureInfo info;
    info.number = number;
    info.seeded = true;
    info.owner = std::string(kSeededMember);
    info.ownerRegistered = true;
    info.time = makeTimestamp(2023, 11, 1, 12, 0, 0);
    info.title = "Aus dem Forum";
    // Two wide pictures for the document export: 20 cm and exactly 17.5 cm
    // at 254 dpi (100 pixels a centimetre); the others are small.
    if (number == 101) {
        info.width = 2000;
        info.height = 1500;
        info.dpi = 254;
        info.title = "Buchenplatte nach dem Verleimen";
    } else if (number == 102) {
        info.width = 1750;
        info.height = 1050;
        info.dpi = 254;
        info.title = "Vorderzange mit Stahlspindel";
    } else {
        info.width = 480;
        info.height = 360;
        info.dpi = 96;
        if (number == 103)
            info.title = "Alte Rauhbank";
        else if (number == 104)
            info.title = "Feuchtemesser an der Platte";
    }
    return info;
}

void PictureStore::addSeeded(const std::set<int> &numbers)
{
    const std::lock_guard lock(m_mutex);
    m_seeded.insert(numbers.begin(), numbers.end());
}

bool PictureStore::openArchive(const std::string &dataDir, std::ostream &errors, std::string &error)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(dataDir) / "pictures";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    const std::string logPath = (fs::path(dataDir) / "pictures.log").string();

    const std::lock_guard lock(m_mutex);
    m_folder = folder.string();
    // Numbers of files already there are never handed out again, even when
    // their record is lost.
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 1 && name[0] == 'B') {
            const std::size_t dot = name.find('.');
            if (const auto n = parseDecimal(std::string_view(name).substr(1, dot - 1)))
                m_nextNumber = std::max(m_nextNumber, *n + 1);
        }
    }
    readRecordLog(logPath, [&](const Record &r) {
        const auto number = parseDecimal(fieldText(r, "number"));
        if (!number || *number < kFirstUploadNumber || fieldText(r, "kind") != "picture") {
            errors << "tarnvik-forumsim: " << logPath << ": skipped a picture record without a valid number\n";
            return;
        }
        m_nextNumber = std::max(m_nextNumber, *number + 1);
        Upload u;
        u.info.number = *number;
        u.info.type = fieldText(r, "type") == "png" ? ImageType::Png : ImageType::Jpeg;
        u.info.width = parseDecimal(fieldText(r, "width")).value_or(0);
        u.info.height = parseDecimal(fieldText(r, "height")).value_or(0);
        u.info.title = fieldText(r, "title");
        u.info.owner = fieldText(r, "owner");
        u.info.ownerRegistered = fieldText(r, "registered") == "1";
        u.info.time = parseInteger(fieldText(r, "time")).value_or(0);
        u.file = (folder / ("B" + std::to_string(*number) + "." + extensionOf(u.info.type))).string();
        struct stat st {};
        if (::stat(u.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0
            || static_cast<std::uint64_t>(st.st_size) > kMaxPictureBytes) {
            errors << "tarnvik-forumsim: picture " << *number << " skipped: " << u.file << " is missing\n";
            return;
        }
        // Served as what its bytes are; a file that is no picture (any more)
        // is left out.
        const auto bytes = readPictureFile(u.file);
        u.info.type = bytes ? inspectImage(*bytes).type : ImageType::None;
        if (u.info.type == ImageType::None) {
            errors << "tarnvik-forumsim: picture " << *number << " skipped: " << u.file
                   << " is not a whole JPEG or PNG picture\n";
            return;
        }
        m_uploads[*number] = std::move(u);
    }, errors);
    return m_log.open(logPath, error);
}

std::string PictureStore::draw(int number)
{
    {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
            if (it->first == number) {
                m_cache.splice(m_cache.begin(), m_cache, it);
                return it->second;
            }
        }
    }
    // Drawn without the lock, so that a large picture does not hold up the
    // others; two requests for the same new picture may both draw it.
    const PictureInfo geometry = seededGeometry(number);
    std::string bytes = drawWoodPicture(number, geometry.width, geometry.height, geometry.dpi);
    if (bytes.empty())
        return bytes;
    const std::lock_guard lock(m_mutex);
    for (const auto &entry : m_cache) {
        if (entry.first == number)
            return entry.second;
    }
    m_cache.emplace_front(number, bytes);
    m_cacheBytes += bytes.size();
    while (m_cache.size() > kCacheEntries || (m_cacheBytes > kCacheBytes && m_cache.size() > 1)) {
        m_cacheBytes -= m_cache.back().second.size();
        m_cache.pop_back();
    }
    return bytes;
}

ServedPicture PictureStore::picture(int number)
{
    ServedPicture served;
    served.delayMs = m_knobs.delayMs;
    if (const auto slow = m_knobs.slow.find(number); slow != m_knobs.slow.end())
        served.delayMs += slow->second;
    if (m_knobs.missing.contains(number))
        return served;

    // Uploads were checked when they came in or when the archive was opened;
    // drawn pictures are JPEG.
    ImageType type = ImageType::Jpeg;
    std::string file;
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_uploads.find(number); it != m_uploads.end()) {
            type = it->second.info.type;
            if (it->second.file.empty())
                served.bytes = it->second.bytes;
            else
                file = it->second.file;
        } else if (!m_seeded.contains(number)) {
            return served;
        }
    }
    if (!file.empty()) {
        auto bytes = readPictureFile(file);
        if (!bytes)
            return served;
        served.bytes = std::move(*bytes);
    } else if (served.bytes.empty()) {
        served.bytes = draw(number);
        if (served.bytes.empty())
            return served;
    }
    served.type = type;
    served.status = 200;
    return served;
}

std::optional<PictureInfo> PictureStore::info(int number) const
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_uploads.find(number); it != m_uploads.end())
        return it->second.info;
    if (m_seeded.contains(number))
        return seededGeometry(number);
    return std::nullopt;
}

std::vector<PictureInfo> PictureStore::newest(std::size_t uploads, std::size_t seeded) const
{
    const std::lock_guard lock(m_mutex);
    std::vector<PictureInfo> out;
    for (auto it = m_uploads.rbegin(); it != m_uploads.rend() && out.size() < uploads; ++it)
        out.push_back(it->second.info);
    std::size_t taken = 0;
    for (auto it = m_seeded.begin(); it != m_seeded.end() && taken < seeded; ++it, ++taken)
        out.push_back(seededGeometry(*it));
    return out;
}

UploadOutcome PictureStore::upload(std::string_view title, std::string_view name, std::string_view password,
                                   std::string bytes)
{
    auto fail = [](int status, std::string message) { return UploadOutcome{0, status, std::move(message)}; };
    if (!isValidUtf8(title) || !isValidUtf8(name))
        return fail(400, "Titel oder Name enthalten Zeichen, die nicht gültig UTF-8-kodiert sind.");
    const std::string_view owner = trimmed(name);
    if (owner.empty())
        return fail(400, "Bitte geben Sie Ihren Namen an.");
    if (codePointCount(owner) > kMaxNameChars || hasControlCharacters(owner, false))
        return fail(400, "Der Name ist zu lang oder enthält unzulässige Zeichen.");
    const std::string_view cleanTitle = trimmed(title);
    if (codePointCount(cleanTitle) > kMaxPictureTitleChars || hasControlCharacters(cleanTitle, false))
        return fail(400, "Der Bildtitel ist zu lang (höchstens 100 Zeichen) oder enthält unzulässige Zeichen.");
    if (bytes.empty())
        return fail(400, "Bitte wählen Sie eine Bilddatei aus.");
    if (bytes.size() > kMaxPictureBytes)
        return fail(413, "Das Bild ist zu groß: höchstens 10 MB sind erlaubt.");

    Upload u;
    if (const Account *account = m_accounts.find(owner)) {
        if (!Accounts::passwordMatches(*account, password))
            return fail(403, "Der Name ist registriert, und das Passwort stimmt nicht.");
        u.info.owner = account->name;
        u.info.ownerRegistered = true;
    } else {
        u.info.owner = std::string(owner);
    }
    const ImageInfo image = inspectImage(bytes);
    if (image.type == ImageType::None)
        return fail(415, "Die Datei ist kein JPEG- oder PNG-Bild (oder sie ist beschädigt). "
                         "Erlaubt sind nur JPEG- und PNG-Dateien.");
    u.info.type = image.type;
    u.info.width = image.width;
    u.info.height = image.height;
    u.info.title = cleanTitle.empty() ? std::string("Ohne Titel") : std::string(cleanTitle);
    u.info.time = localNow();

    int number = 0;
    std::string folder;
    {
        const std::lock_guard lock(m_mutex);
        if (m_folder.empty()) {
            if (m_memoryBytes + bytes.size() > kMaxMemoryUploads)
                return fail(507, "Der Bildspeicher ist voll.");
            m_memoryBytes += bytes.size();
        }
        number = m_nextNumber++;
        folder = m_folder;
    }
    u.info.number = number;
    if (folder.empty()) {
        u.bytes = std::move(bytes);
    } else {
        // Written outside the lock: other pictures keep being served meanwhile.
        const std::string base = folder + "/B" + std::to_string(number);
        const std::string temporary = base + ".tmp";
        const std::string final = base + "." + extensionOf(image.type);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool written = fd >= 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!written || ::rename(temporary.c_str(), final.c_str()) != 0) {
            ::unlink(temporary.c_str());
            return fail(500, "Das Bild konnte nicht gespeichert werden.");
        }
        u.file = final;
        const Record record{{"kind", "picture"},
                            {"number", std::to_string(number)},
                            {"type", image.type == ImageType::Png ? "png" : "jpeg"},
                            {"width", std::to_string(image.width)},
                            {"height", std::to_string(image.height)},
                            {"title", u.info.title},
                            {"owner", u.info.owner},
                            {"registered", u.info.ownerRegistered ? "1" : "0"},
                            {"time", std::to_string(u.info.time)}};
        if (!m_log.append(record)) {
            ::unlink(final.c_str());
            return fail(500, "Das Bild konnte nicht gespeichert werden.");
        }
    }
    const std::lock_guard lock(m_mutex);
    m_uploads[number] = std::move(u);
    return {number, 0, {}};
}

LoginOutcome PictureStore::login(const PictureInfo &picture, std::string_view password) const
{
    if (!picture.ownerRegistered)
        return LoginOutcome::Guest;
    const Account *account = m_accounts.find(picture.owner);
    if (!account || !Accounts::passwordMatches(*account, password))
        return LoginOutcome::WrongPassword;
    return LoginOutcome::Owner;
}

} // namespace forumsim
