#include "presentation/PresentationSettings.h"
#include "QStringPrinting.h"
#include "presentation/SkinDescriptor.h"

#include <gtest/gtest.h>

using namespace dromel;

TEST(PresentationSettingsTest, DefaultsEncodeInFieldOrderAndEveryChoiceRoundTrips) {
    EXPECT_EQ(PresentationSettings().toJson(),
              R"({"schemaVersion":1,"language":"system","appearance":"system","skin":"glass"})");
    const PresentationSettings chosen{1, AppLanguage::simplifiedChinese, AppAppearance::dark, SkinID::solid};
    EXPECT_EQ(chosen.toJson(),
              R"({"schemaVersion":1,"language":"zh-Hans","appearance":"dark","skin":"solid"})");
    for (AppLanguage language : kAllAppLanguages)
        for (AppAppearance appearance : kAllAppAppearances)
            for (SkinID skin : kAllSkinIDs) {
                const PresentationSettings settings{1, language, appearance, skin};
                EXPECT_EQ(PresentationSettings::load(settings.toJson()), settings)
                    << settings.toJson().data();
            }
}

TEST(PresentationSettingsTest, ForeignOrBrokenDataLoadsTheDefaults) {
    const PresentationSettings defaults;
    EXPECT_EQ(PresentationSettings::load(std::nullopt), defaults);
    const char *broken[] = {
        "",
        "not json",
        "[]",
        R"({"schemaVersion":2,"language":"en","appearance":"dark","skin":"solid"})",
        R"({"schemaVersion":1,"language":"en","appearance":"dark"})",
        R"({"schemaVersion":1,"language":"fr","appearance":"dark","skin":"solid"})",
        R"({"schemaVersion":"1","language":"en","appearance":"dark","skin":"solid"})",
        R"({"schemaVersion":1.5,"language":"en","appearance":"dark","skin":"solid"})",
        R"({"schemaVersion":1,"language":"en","appearance":"dark","skin":"solid")",
    };
    for (const char *json : broken)
        EXPECT_EQ(PresentationSettings::load(QByteArray(json)), defaults) << json;
}
