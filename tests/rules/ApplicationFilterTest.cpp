#include <gtest/gtest.h>

#include "ApplicationFilter.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

namespace {

const WindowApplication kFirefox{QStringLiteral("Navigator"), QStringLiteral("firefox")};
const WindowApplication kBeta{QStringLiteral("beta"), QStringLiteral("Beta")};
const WindowApplication kNothing{};

QStringList names(const char* text)
{
    return parseApplicationNames(QString::fromLatin1(text));
}

} // namespace

TEST(ApplicationFilter, NamesAreSplitTrimmedAndEmptyOnesIgnored)
{
    EXPECT_EQ(names(" firefox ; evince;;  ; "), (QStringList{"firefox", "evince"}));
    EXPECT_TRUE(names("").isEmpty());
    EXPECT_TRUE(names(" ; ").isEmpty());
    EXPECT_EQ(joinApplicationNames({"a", "b"}), QStringLiteral("a;b"));

    EXPECT_TRUE(isValidApplicationName(QStringLiteral("org.gnome.Evince")));
    EXPECT_TRUE(isValidApplicationName(QString(255, QLatin1Char('x'))));
    EXPECT_FALSE(isValidApplicationName(QString(256, QLatin1Char('x'))));
    EXPECT_FALSE(isValidApplicationName(QStringLiteral("caf\u00e9")));
    EXPECT_FALSE(isValidApplicationName(QStringLiteral("tab\there")));
    EXPECT_FALSE(isValidApplicationName(QString()));
}

TEST(ApplicationFilter, ListsDecideWhereARuleMayFire)
{
    struct Case {
        const char* onlyIn;
        const char* neverIn;
        FocusedApplication focus;
        bool allowed;
    };
    const Case cases[] = {
        {"", "", kFirefox, true},
        {"", "", std::nullopt, true},
        {"firefox", "", kFirefox, true},
        {"FIREFOX", "", kFirefox, true},   // the class, whatever the case
        {"navigator", "", kFirefox, true}, // the instance
        {"beta", "", kBeta, true},
        {"Beta", "", kBeta, true},
        {"firefox", "", kBeta, false},
        {"firefox", "", kNothing, false},
        {"firefox;beta", "", kBeta, true},
        {"firefox", "", std::nullopt, false}, // unknown focus: "only in" never fires
        {"", "keepassxc", kFirefox, true},
        {"", "firefox", kFirefox, false},
        {"", "firefox", kNothing, true},
        {"", "firefox", std::nullopt, true},       // unknown focus: as if nothing matched
        {"firefox", "navigator", kFirefox, false}, // "never in" wins
        {"fire", "", kFirefox, false},             // whole names only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.onlyIn) + " / " + c.neverIn + " / " +
                     (c.focus ? c.focus->instance.toStdString() : std::string("unknown")));
        EXPECT_EQ(applicationFilterAllows(names(c.onlyIn), names(c.neverIn), c.focus), c.allowed);
    }
}

TEST(ApplicationFilter, DescriptionsAndTheNoticeForUnknownFocus)
{
    EXPECT_EQ(describeApplicationFilter({"firefox", "evince"}, {}), QStringLiteral("only in firefox, evince"));
    EXPECT_EQ(describeApplicationFilter({}, {"keepassxc"}), QStringLiteral("never in keepassxc"));
    EXPECT_EQ(describeApplicationFilter({"a"}, {"b"}), QStringLiteral("only in a; never in b"));
    EXPECT_TRUE(describeApplicationFilter({}, {}).isEmpty());

    SenMappingModel model;
    EXPECT_TRUE(focusUnknownNotice(model).isEmpty());
    SenMapping plain(QStringLiteral("plain"), nullptr);
    model.addMapping(plain);
    EXPECT_TRUE(focusUnknownNotice(model).isEmpty());
    SenMapping reader(QStringLiteral("next page"), nullptr);
    reader.setOnlyInApps({"evince"});
    model.addMapping(reader);
    SenMapping safe(QStringLiteral("safe"), nullptr);
    safe.setNeverInApps({"keepassxc"});
    model.addMapping(safe);
    EXPECT_EQ(
        focusUnknownNotice(model),
        QStringLiteral("The application in focus cannot be known here: rules only for some applications never "
                       "fire (\"next page\"); rules kept out of some applications fire in all of them (\"safe\")"));
    EXPECT_EQ(focusUnknownEffect(*model.mapping(1)), QStringLiteral("never fires"));
    EXPECT_EQ(focusUnknownEffect(*model.mapping(2)), QStringLiteral("fires in every application"));
}

TEST(ApplicationFilter, MappingKeepsItsListsCleanAndCopiesThem)
{
    SenMapping mapping(QStringLiteral("m"), nullptr);
    mapping.setOnlyInApps({" firefox ", "", "evince"});
    EXPECT_EQ(mapping.onlyInApps(), (QStringList{"firefox", "evince"}));
    EXPECT_TRUE(mapping.hasApplicationFilter());
    mapping.setNeverInApps({"keepassxc"});
    const SenMapping copy(mapping);
    EXPECT_EQ(copy.onlyInApps(), mapping.onlyInApps());
    EXPECT_EQ(copy.neverInApps(), (QStringList{"keepassxc"}));
    mapping.setOnlyInApps({});
    mapping.setNeverInApps({" "});
    EXPECT_FALSE(mapping.hasApplicationFilter());
}
