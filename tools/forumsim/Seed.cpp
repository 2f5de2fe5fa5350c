#include "Seed.h"

#include "PicturePages.h"

#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <vector>

namespace forumsim {

namespace {

// A fixed little generator, so that the forum looks the same on every start
// and every platform (the standard distributions are not portable).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint32_t next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(m_state >> 33);
    }
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    template<typename T, std::size_t N>
    const T &pick(const std::array<T, N> &items) { return items[static_cast<std::size_t>(below(int(N)))]; }

private:
    std::uint64_t m_state;
};

using Lines = std::vector<BodyLine>;

BodyLine text(std::string t) { return BodyLine::plain(std::move(t)); }

constexpr int kMinute = 60;
constexpr int kHour = 3600;

constexpr std::array<const char *, 20> kAuthors = {
    "Jürgen Weißhaupt", "Sören Maßmann", "Björn Kästner", "Friederike Spät", "Günther Großmann",
    "Ute Schäfer", "Klaus Bräuer", "Heike Lößner", "Matthias Eichhorn", "Dörte Fuß",
    "Rüdiger Zimmermann", "Bernd Holzapfel", "Anja Köhler", "Tobias Strauß", "Jörg Nußbaum",
    "Wiebke Drechsler", "Horst Hobelsberger", "Sabine Brückner", "Uwe Tischler", "Martina Öhler"};

std::string firstName(std::string_view author)
{
    return std::string(author.substr(0, author.find(' ')));
}

// ---------------------------------------------------------------- fixed threads

void seedFixedForum(ForumStore &store, std::string_view pictureHost)
{
    const std::string w = "forum";
    {
        const std::string subject = "Hobelbank aus Buche – Erfahrungen?";
        const std::string re = "Re: " + subject;
        const Timestamp t = makeTimestamp(2023, 11, 18, 19, 42, 10);
        const int root = store.addMessage(w, 0, {subject, "Jürgen Weißhaupt", t, {
            text("Hallo zusammen,"),
            text(""),
            text("ich möchte mir diesen Winter endlich eine richtige Hobelbank bauen. Geplant ist eine "
                 "Platte aus Buche, etwa 2000 × 650 mm und 90 mm stark, aus verleimten Bohlen."),
            text("Jetzt lese ich überall, dass Buche stark arbeitet. Hat jemand von euch eine Bank aus "
                 "Buche und kann sagen, wie sie sich über die Jahre gehalten hat?"),
            text("Und: Vorderzange mit Holzspindel oder lieber eine Stahlspindel?"),
            text(""),
            text("Grüße aus dem Schwarzwald"),
            text("Jürgen")}});
        const int answer = store.addMessage(w, root, {re, "Sören Maßmann", t + 73 * kMinute, {
            text("Hallo Jürgen,"),
            text(""),
            text("meine Bank ist seit zwölf Jahren aus Buche und steht wie am ersten Tag. Das Holz lag "
                 "vorher gut ein Vierteljahr in der Werkstatt."),
            text("So sah die Platte nach dem Verleimen aus:"),
            BodyLine::picture(pictureUrl(pictureHost, 101)),
            text("Die Vorderzange hat eine Stahlspindel, hier nach dem Ölen:"),
            BodyLine::picture(pictureUrl(pictureHost, 102, "?size=2")),
            text("Wichtig ist vor allem, die Bohlen stehend zu verleimen und jede zweite zu wenden."),
            text(""),
            text("Gruß, Sören")}});
        store.addMessage(w, answer, {re, "Jürgen Weißhaupt", t + 160 * kMinute, {
            text("Danke, Sören! Die Zange sieht großartig aus."),
            text("Welche Spindel hast du genommen, und wie groß ist der Hub?"),
            text("Jürgen")}});
        store.addMessage(w, root, {re, "Friederike Spät", t + 305 * kMinute, {
            text("Buche ist schwer und hart, das ist für eine Bank ideal. Sie arbeitet aber mehr als "
                 "Esche oder Ahorn."),
            text("Ich würde die Platte nicht verleimen, solange das Holz über 12 % Feuchte hat. Ein "
                 "Feuchtemesser kostet nicht die Welt."),
            text("So messe ich an meinen Bohlen nach:"),
            BodyLine::picture(pictureUrl(pictureHost, 104)),
            text("Viel Spaß beim Bauen!"),
            text("Friederike")}});
    }
    {
        const std::string subject = "Schärfen von Hobeleisen: Wassersteine oder Diamant?";
        const std::string re = "Re: " + subject;
        const Timestamp t = makeTimestamp(2023, 11, 17, 21, 5, 33);
        const int root = store.addMessage(w, 0, {subject, "Björn Kästner", t, {
            text("Moin,"),
            text(""),
            text("bisher schärfe ich meine Hobeleisen auf einem alten Ölstein, aber das dauert ewig. "
                 "Jetzt stehe ich vor der Wahl: japanische Wassersteine (1000/6000) oder Diamantplatten?"),
            text("Was nutzt ihr, und wie haltet ihr die Steine plan?"),
            text(""),
            text("Björn")}});
        const int answer = store.addMessage(w, root, {re, "Günther Großmann", t + 48 * kMinute, {
            text("Ich nehme Wassersteine 1000 und 6000 und richte sie alle paar Wochen auf einer "
                 "Diamantplatte ab."),
            text("Einen Schneidwinkel < 25° bei A2-Stahl & Co. halte ich für zu spitz; 25° Fase und "
                 "30° Mikrofase haben sich bei mir bewährt."),
            text("Gruß Günther")}});
        store.addMessage(w, answer, {re, "Björn Kästner", t + 131 * kMinute, {
            text("Danke! Mit Mikrofase meinst du die schmale Schräge direkt an der Schneide, oder?"),
            text("Björn")}});
    }
    {
        const std::string subject = "Japansäge oder europäische Gestellsäge für Zinken?";
        const Timestamp t = makeTimestamp(2023, 11, 16, 10, 12, 48);
        const int root = store.addMessage(w, 0, {subject, "Ute Schäfer", t, {
            text("Ich will mich an Schwalbenschwanzzinken wagen. Im Kurs hatten wir eine Dozuki, zu "
                 "Hause steht nur eine alte Gestellsäge."),
            text("Lohnt sich die Anschaffung, oder lernt man es mit der Gestellsäge genauso gut?"),
            text("Ute")}});
        store.addMessage(w, root, {"Re: " + subject, "Klaus Bräuer", t + 95 * kMinute, {
            text("Beides geht. Die Dozuki schneidet auf Zug und verläuft anfangs weniger, die "
                 "Gestellsäge ist robuster."),
            text("Wichtiger als die Säge ist das Anreißen: scharfes Anreißmesser, sauberer Winkel."),
            text("Klaus")}});
    }
    store.addMessage(w, 0, {"Restaurierung einer alten Rauhbank", "Heike Lößner",
                            makeTimestamp(2023, 11, 15, 16, 30, 0), {
        text("Auf dem Dachboden meines Großvaters lag diese Rauhbank, Länge 60 cm, Sohle aus Weißbuche:"),
        BodyLine::picture(pictureUrl(pictureHost, 103)),
        text("Die Sohle ist leicht hohl, der Keil sitzt locker. Abrichten oder lieber so lassen?"),
        text("Heike")}});
}

void seedFixedMachines(ForumStore &store)
{
    const std::string w = "holzbearbeitungsmaschinen";
    {
        const std::string subject = "Tischkreissäge: Spaltkeil nachrüsten, aber wie?";
        const std::string re = "Re: " + subject;
        const Timestamp t = makeTimestamp(2023, 11, 18, 8, 15, 2);
        const int root = store.addMessage(w, 0, {subject, "Matthias Eichhorn", t, {
            text("Hallo,"),
            text(""),
            text("an meiner älteren Tischkreissäge (Baujahr 1987) fehlt der Spaltkeil. Den Hersteller "
                 "gibt es nicht mehr."),
            text("Kann man einen Spaltkeil selbst anfertigen, und worauf muss man achten? Dicke, "
                 "Abstand zum Blatt, Material?"),
            text(""),
            text("Danke und Gruß"),
            text("Matthias")}});
        const int answer = store.addMessage(w, root, {re, "Rüdiger Zimmermann", t + 2 * kHour, {
            text("Der Spaltkeil muss etwas dicker sein als der Stammkörper des Blatts, aber dünner als "
                 "die Schnittfuge."),
            text("Abstand zum Zahnkranz höchstens 8 mm, und er muss beim Verstellen der Schnitthöhe "
                 "mitgehen."),
            text("Federstahl ist das übliche Material. Lass ihn dir lieber beim Schlosser lasern."),
            text("Rüdiger")}});
        store.addMessage(w, answer, {re, "Matthias Eichhorn", t + 5 * kHour + 12 * kMinute, {
            text("Danke, Rüdiger. Das Mitgehen ist bei meiner Säge das Problem – ich schicke morgen ein "
                 "Foto."),
            text("Matthias")}});
    }
    {
        const std::string subject = "Absauganlage für die Kellerwerkstatt";
        const Timestamp t = makeTimestamp(2023, 11, 17, 19, 20, 0);
        const int root = store.addMessage(w, 0, {subject, "Anja Köhler", t, {
            text("Meine Werkstatt ist ein Kellerraum von 18 m². Reicht ein mobiler Absauger mit "
                 "Zyklon, oder brauche ich eine feste Anlage?"),
            text("Anja")}});
        store.addMessage(w, root, {"Re: " + subject, "Tobias Strauß", t + 3 * kHour, {
            text("Für die Größe reicht ein guter mobiler Absauger. Achte auf die Filterklasse, "
                 "Feinstaub ist im Keller das eigentliche Problem."),
            text("Tobias")}});
    }
    store.addMessage(w, 0, {"Abricht- und Dickenhobel: Messer wechseln", "Tobias Strauß",
                            makeTimestamp(2023, 11, 16, 12, 0, 0), {
        text("Wie stellt ihr die Hobelmesser nach dem Wechsel ein? Mit Lehre oder mit Messuhr?"),
        text("Tobias")}});
}

void seedFixedMarket(ForumStore &store)
{
    const std::string w = "marktplatz";
    const std::string subject = "Verkaufe Hobelbank (gebraucht)";
    const Timestamp t = makeTimestamp(2023, 11, 18, 12, 34, 56);
    const int root = store.addMessage(w, 0, {subject, "Bernd Holzapfel", t, {
        text("Verkaufe meine Hobelbank, Länge 1,80 m, Buche massiv, mit Vorder- und Hinterzange."),
        text("Gebrauchsspuren, aber voll funktionsfähig. Abholung in Kassel."),
        text("Preis: 350 € VB"),
        text("Bernd")}});
    store.addMessage(w, root, {"Re: " + subject, "Jörg Nußbaum", t + 4 * kHour, {
        text("Hallo Bernd, ist die Bank noch zu haben? Ich könnte Samstag vorbeikommen."),
        text("Gruß Jörg")}});
    store.addMessage(w, 0, {"Suche: Stemmeisen-Satz, gern älter", "Wiebke Drechsler",
                            makeTimestamp(2023, 11, 17, 9, 0, 0), {
        text("Suche einen Satz Stemmeisen (6 bis 26 mm), gern ältere Markenware. Rost ist kein Problem."),
        text("Wiebke")}});
}

// ------------------------------------------------------------ generated threads

using Texts = std::span<const char *const>;

struct TopicPool {
    Texts things;
    Texts patterns;    // each with one "%s" for a thing
    Texts questions;   // sentences for a thread's first message
    Texts answers;     // sentences for answers
};

constexpr const char *kHandToolThings[] = {
    "Stemmeisen", "Zinkensäge", "Putzhobel", "Schlichthobel", "Grundhobel", "Ziehklinge",
    "Streichmaß", "Raspel", "Schnitzmesser", "Hohleisen", "Klüpfel", "Fuchsschwanz", "Bohrwinde",
    "Simshobel", "Falzhobel", "Ziehmesser", "Anreißmesser", "Schmiege", "Schraubzwinge",
    "Schrupphobel", "Nuthobel", "Zahnhobel", "Feinsäge", "Reifmesser"};
constexpr const char *kHandToolPatterns[] = {
    "%s: welches Fabrikat?", "%s richtig schärfen", "%s vom Flohmarkt – lohnt sich das?",
    "%s einstellen – wie macht ihr das?", "%s für Einsteiger", "Frage: %s", "%s selbst bauen?",
    "Griff für %s erneuern", "Rost entfernen: %s", "Erfahrungen mit %s aus Japan?",
    "%s – Pflege und Aufbewahrung", "Kaufberatung: %s"};
constexpr const char *kHandToolQuestions[] = {
    "Ich arbeite seit ein paar Monaten nur mit Handwerkzeug und stoße gerade an meine Grenzen.",
    "Im Netz findet man dazu viele Meinungen, aber wenig Erfahrungen.",
    "Wie geht ihr da vor? Über Tipps würde ich mich sehr freuen.",
    "Das Werkzeug stammt noch von meinem Großvater und soll wieder ordentlich arbeiten.",
    "Vor allem bei Eiche und Esche reißt das Holz immer wieder aus.",
    "Gibt es dazu einen guten Kurs in Süddeutschland?",
    "Mein Budget liegt bei etwa 80 €, mehr möchte ich erst einmal nicht ausgeben.",
    "Bei Weichholz klappt es gut, bei Buche überhaupt nicht."};
constexpr const char *kHandToolAnswers[] = {
    "Das kenne ich, mir ging es am Anfang genauso.",
    "Schärfen, schärfen, schärfen – meistens liegt es daran.",
    "Ich würde erst einmal mit einem günstigen Modell anfangen und schauen, ob es dir liegt.",
    "Auf dem Flohmarkt findet man oft gute alte Stücke für wenig Geld.",
    "Probier es mal mit einem flacheren Winkel und einem dünneren Span.",
    "Bei mir hat ein Abziehleder mit Polierpaste Wunder gewirkt.",
    "Schau dir die Faserrichtung genau an, dann geht es meist von allein.",
    "Ein Wochenendkurs an der Volkshochschule hat mir viel gebracht.",
    "Danke für die vielen Antworten, ich probiere es am Wochenende aus!"};

constexpr const char *kMachineThings[] = {
    "Bandsäge", "Tischfräse", "Drechselbank", "Formatkreissäge", "Standbohrmaschine", "Kappsäge",
    "Oberfräse", "Dekupiersäge", "Schleifbock", "Langlochbohrmaschine", "Zyklonabscheider",
    "Bandschleifer", "Exzenterschleifer", "Flachdübelfräse", "Dickenhobel", "Tellerschleifer",
    "Kettenstemmer", "Handkreissäge"};
constexpr const char *kMachinePatterns[] = {
    "%s: Kaufberatung gesucht", "%s brummt beim Anlauf", "Gebraucht kaufen: %s – worauf achten?",
    "%s richtig einstellen", "Zubehör für %s gesucht", "Stromanschluss 400 V für %s",
    "%s im Keller: Lärm und Nachbarn", "%s: Späne überall", "Ersatzteile für %s gesucht",
    "%s: Vibrationen beim Arbeiten", "Sicherheit an der %s"};
constexpr const char *kMachineQuestions[] = {
    "Die Maschine ist gut zwanzig Jahre alt, läuft aber noch ordentlich.",
    "Im Handbuch steht dazu leider nichts Brauchbares.",
    "Der Händler meint, das sei normal – ich bin da skeptisch.",
    "Hat jemand ähnliche Erfahrungen gemacht?",
    "Platz habe ich nur wenig, die Werkstatt misst 3 × 4 m.",
    "Welche Hersteller könnt ihr empfehlen, und wovon würdet ihr abraten?",
    "Ein Elektriker hat schon nach dem Anschluss geschaut."};
constexpr const char *kMachineAnswers[] = {
    "Prüf zuerst die Riemenspannung, das ist oft die Ursache.",
    "Lager tauschen kostet nicht viel und wirkt Wunder.",
    "Bei gebrauchten Maschinen immer die Führungen und den Tisch genau ansehen.",
    "Ohne vernünftige Absaugung würde ich die Maschine nicht betreiben.",
    "Schutzhaube und Schiebestock gehören immer dazu, auch bei kurzen Schnitten.",
    "Ich habe meine über Kleinanzeigen gekauft und bin sehr zufrieden.",
    "Miss mal den Planlauf des Tisches mit einer Messuhr nach.",
    "Danke euch, jetzt weiß ich, wo ich anfangen muss."};

constexpr const char *kMarketThings[] = {
    "Stemmeisen-Satz", "Bandsäge", "Drechselbank", "Hobelbank", "Schraubzwingen",
    "Leimholzplatten Eiche", "Nussbaumbohlen", "Kirschbaum, luftgetrocknet", "Japansägen",
    "Oberfräse mit Zubehör", "Schleifsteine", "Hobelsammlung", "Kreissägeblätter",
    "Drechselrohlinge Ahorn", "Furnierreste"};
constexpr const char *kMarketPatterns[] = {
    "Verkaufe %s", "Suche %s", "Biete %s – nur Abholung", "Tausche %s", "Verschenke %s"};
constexpr const char *kMarketQuestions[] = {
    "Zustand gut, kaum benutzt.", "Abholung in der Nähe von Göttingen.",
    "Preis nach Absprache, Tausch gegen Handwerkzeug möglich.", "Versand ist leider nicht möglich.",
    "Fotos schicke ich gern per E-Mail."};
constexpr const char *kMarketAnswers[] = {
    "Ist das noch zu haben?", "Was soll es denn kosten?",
    "Ich hätte Interesse, würde am Wochenende vorbeikommen.", "Ist bereits weg, danke für das Interesse."};

constexpr const char *kGreetings[] = {"Hallo zusammen,", "Moin,", "Servus,", "Hallo allerseits,",
                                      "Guten Abend,"};

const char *pickFrom(Rng &rng, Texts items)
{
    return items[static_cast<std::size_t>(rng.below(static_cast<int>(items.size())))];
}

std::string fillPattern(std::string_view pattern, std::string_view thing)
{
    std::string out(pattern);
    const std::size_t pos = out.find("%s");
    if (pos != std::string::npos)
        out.replace(pos, 2, thing);
    return out;
}

// Fills section `word` with `threads` generated threads of 1 to 6 messages,
// the newest started at `newest`, each older one a day or two earlier.
void seedGenerated(ForumStore &store, const std::string &word, const TopicPool &pool, int threads,
                   Timestamp newest, std::string_view pictureHost, int &pictureNumber, Rng &rng)
{
    std::set<std::string> usedSubjects;
    Timestamp start = newest;
    for (int i = 0; i < threads; ++i) {
        std::string subject;
        do {
            subject = fillPattern(pickFrom(rng, pool.patterns),
                                  pickFrom(rng, pool.things));
        } while (!usedSubjects.insert(subject).second);

        const int count = rng.between(1, 6);
        std::vector<int> numbers;
        std::vector<std::string> authors;
        Timestamp time = start;
        for (int j = 0; j < count; ++j) {
            const int parentIndex = j == 0 ? -1 : (rng.below(3) == 0 ? 0 : rng.below(j));
            std::string author = rng.pick(kAuthors);
            if (parentIndex >= 0 && author == authors[std::size_t(parentIndex)]) {
                // Nobody answers himself: take the next name in the list.
                for (std::size_t a = 0; a < kAuthors.size(); ++a) {
                    if (author == kAuthors[a]) {
                        author = kAuthors[(a + 1) % kAuthors.size()];
                        break;
                    }
                }
            }

            Lines lines;
            if (j == 0) {
                lines.push_back(text(pickFrom(rng, kGreetings)));
                lines.push_back(text(""));
            } else {
                lines.push_back(text("Hallo " + firstName(authors[std::size_t(parentIndex)]) + ","));
            }
            const std::size_t sentences = static_cast<std::size_t>(rng.between(1, 3));
            for (std::size_t k = 0; k < sentences; ++k) {
                lines.push_back(text(j == 0 ? pickFrom(rng, pool.questions)
                                            : pickFrom(rng, pool.answers)));
            }
            if (rng.below(9) == 0) {
                lines.push_back(text("Hier ein Foto dazu:"));
                lines.push_back(BodyLine::picture(pictureUrl(pictureHost, pictureNumber++)));
            }
            lines.push_back(text(rng.below(2) ? "Gruß, " + firstName(author) : firstName(author)));

            MessageData data{j == 0 ? subject : "Re: " + subject, author, time, std::move(lines)};
            const int parent = parentIndex < 0 ? 0 : numbers[std::size_t(parentIndex)];
            numbers.push_back(store.addMessage(word, parent, std::move(data)));
            authors.push_back(author);
            time += rng.between(10, 600) * kMinute;
        }
        start -= rng.between(8, 40) * kHour + rng.between(0, 59) * kMinute + rng.between(0, 59);
    }
}

} // namespace

std::string pictureUrl(std::string_view pictureHost, int number, std::string_view query)
{
    return "http://" + std::string(pictureHost) + pictureFilePath(number) + std::string(query);
}

void seedForum(ForumStore &store, std::string_view pictureHost)
{
    store.addSection("forum", "Handwerkzeug-Forum", 1001, 1999);
    store.addSection("holzbearbeitungsmaschinen", "Allgemeines Holzwerker-Forum", 2001, 2999);
    store.addSection("marktplatz", "Marktplatz", 3001, 3999);

    seedFixedForum(store, pictureHost);
    seedFixedMachines(store);
    seedFixedMarket(store);

    // The generated threads are older than the fixed ones, which so stay at
    // the top of the first index page.
    Rng rng(20231118);
    int pictureNumber = 200;
    const Timestamp before = makeTimestamp(2023, 11, 14, 22, 17, 0);
    seedGenerated(store, "forum",
                  {kHandToolThings, kHandToolPatterns, kHandToolQuestions, kHandToolAnswers},
                  52, before, pictureHost, pictureNumber, rng);
    seedGenerated(store, "holzbearbeitungsmaschinen",
                  {kMachineThings, kMachinePatterns, kMachineQuestions, kMachineAnswers},
                  47, before, pictureHost, pictureNumber, rng);
    seedGenerated(store, "marktplatz",
                  {kMarketThings, kMarketPatterns, kMarketQuestions, kMarketAnswers},
                  14, before, pictureHost, pictureNumber, rng);
}

std::set<int> seededPictureNumbers(const ForumStore &store, std::string_view pictureHost)
{
    const std::string origin = "http://" + std::string(pictureHost);
    std::set<int> numbers;
    for (const Section &section : store.sections()) {
        for (const int root : section.threads) {
            for (const TreeEntry &entry : store.threadTree(root)) {
                for (const BodyLine &line : entry.message->body) {
                    if (line.kind != BodyLine::Kind::Picture || !line.text.starts_with(origin))
                        continue;
                    std::string_view path = std::string_view(line.text).substr(origin.size());
                    path = path.substr(0, path.find('?'));
                    if (const auto number = pictureFileNumber(path); number && *number > 0)
                        numbers.insert(*number);
                }
            }
        }
    }
    return numbers;
}

int seedLargeThread(ForumStore &store, int messages, std::string_view pictureHost)
{
    static constexpr std::array<const char *, 8> steps = {
        "Heute die Bretter für die Seitenwände besäumt und auf Länge gebracht.",
        "Die Zapfenlöcher sind gestemmt, mit dem Ergebnis bin ich zufrieden.",
        "Beim Verleimen der Rahmen hat mir eine zweite Hand gefehlt, es ging aber.",
        "Die Türfüllungen sind gehobelt; Kirsche reißt an den Ästen leicht aus.",
        "Erste Schicht Öl aufgetragen, die Farbe kommt schön heraus.",
        "Die Schubkästen laufen noch etwas stramm, morgen wird nachgehobelt.",
        "Bänder eingelassen und die Türen probeweise angeschlagen.",
        "Danke für die Tipps zur Oberfläche, Schellack probiere ich am Rest aus."};

    const std::string subject = "Werkstatttagebuch: Kleiderschrank aus Kirschbaum";
    const std::string re = "Re: " + subject;
    Timestamp time = makeTimestamp(2021, 3, 1, 7, 30, 0);
    Rng rng(90001);

    const int root = store.addMessage("forum", 0, {subject, "Uwe Tischler", time, {
        text("Hallo zusammen,"),
        text("ich baue diesen Winter einen Kleiderschrank aus Kirschbaum und halte hier jeden "
             "Arbeitsschritt fest."),
        BodyLine::picture(pictureUrl(pictureHost, 5000)),
        text("Uwe")}}, kLargeThreadFirstNumber);
    if (root == 0)
        return 0;

    // Answer chains run at most five deep before the next one starts at the
    // root, so the tree stays wide rather than deep.
    int previous = root;
    for (int k = 1; k < messages; ++k) {
        const int parent = k % 6 == 1 ? root : previous;
        const std::string author = kAuthors[static_cast<std::size_t>(k) % kAuthors.size()];
        Lines lines{text("Teil " + std::to_string(k + 1) + ":"),
                    text(rng.pick(steps)),
                    text(rng.pick(steps))};
        if (k % 10 == 0)
            lines.push_back(BodyLine::picture(pictureUrl(pictureHost, 5000 + k / 10)));
        lines.push_back(text(firstName(author)));
        time += rng.between(3, 90) * kMinute;
        previous = store.addMessage("forum", parent, {re, author, time, std::move(lines)},
                                    kLargeThreadFirstNumber + k);
        if (previous == 0)
            return 0;
    }
    return root;
}

} // namespace forumsim
