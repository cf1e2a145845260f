#include <benchmark/benchmark.h>

#include "core/localization.h"
#include "platform/sim/simlocaleservice.h"

using namespace qv;

namespace {

// A handful of labels a settings page draws, short and long, early and late in the table.
constexpr const char16_t *keys[] = {
    u"tab_general", u"launch_at_login", u"hover_delay", u"mask_sensitive_desc",
    u"guide_desc",  u"contact_send",    u"edge_left",   u"window_count_many",
};
constexpr size_t keyCount = std::size(keys);

void lookupLoop(benchmark::State &state, AppLanguage language)
{
    size_t i = 0;
    for (auto _ : state) {
        QString text = Localization::text(keys[i], language);
        benchmark::DoNotOptimize(text);
        i = (i + 1) % keyCount;
    }
}

void BM_TextFixedLanguage(benchmark::State &state)
{
    Localization::setLocaleService(nullptr);
    lookupLoop(state, AppLanguage::german);
}
BENCHMARK(BM_TextFixedLanguage);

void BM_TextSystemSimulated(benchmark::State &state)
{
    SimLocaleService locale;
    locale.setPreferredLanguages({"ja-JP", "en-US"});
    Localization::setLocaleService(&locale);
    lookupLoop(state, AppLanguage::system);
    Localization::setLocaleService(nullptr);
}
BENCHMARK(BM_TextSystemSimulated);

// Like the X11 backend: a list read once, handed out without a lock.
class FixedLocaleService final : public LocaleService
{
public:
    QStringList preferredLanguages() const override { return m_languages; }

private:
    const QStringList m_languages{"de-AT", "de", "en"};
};

void BM_TextSystemFixedList(benchmark::State &state)
{
    FixedLocaleService locale;
    Localization::setLocaleService(&locale);
    lookupLoop(state, AppLanguage::system);
    Localization::setLocaleService(nullptr);
}
BENCHMARK(BM_TextSystemFixedList);

void BM_TextUtf8Key(benchmark::State &state)
{
    for (auto _ : state) {
        QString text = Localization::text("mask_sensitive_desc", AppLanguage::french);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_TextUtf8Key);

void BM_WindowCountText(benchmark::State &state)
{
    int count = 0;
    for (auto _ : state) {
        QString text = Localization::windowCountText(count, AppLanguage::spanish);
        benchmark::DoNotOptimize(text);
        count = (count + 1) % 8;
    }
}
BENCHMARK(BM_WindowCountText);

} // namespace
