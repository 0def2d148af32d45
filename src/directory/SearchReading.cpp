#include "directory/SearchReading.h"

#include "runtime/MainThread.h"

namespace dromel {

namespace {

// Gathers one search's batches on the main thread into cumulative snapshots.
class SearchChannel : public std::enable_shared_from_this<SearchChannel> {
public:
    SearchChannel(DirectoryReading::SnapshotHandler onSnapshot, DirectoryReading::FinishHandler onFinish)
        : m_onSnapshot(std::move(onSnapshot)), m_onFinish(std::move(onFinish)),
          m_details(std::make_shared<SearchDetails>()) {}

    void start(SearchWalker &walker, const SearchQuery &query, const SearchOptions &options) {
        std::weak_ptr<SearchChannel> weak = weak_from_this();
        m_run = walker.start(
            query, options,
            [weak](std::vector<SearchHit> hits) {
                MainThread::post([weak, hits = std::move(hits)]() mutable {
                    if (auto self = weak.lock())
                        self->received(std::move(hits));
                });
            },
            [weak](SearchSummary summary) {
                MainThread::post([weak, summary = std::move(summary)]() mutable {
                    if (auto self = weak.lock())
                        self->finished(std::move(summary));
                });
            });
    }

    void cancel() {
        m_cancelled = true;
        m_run.reset();
    }

private:
    void received(std::vector<SearchHit> hits) {
        if (m_cancelled)
            return;
        std::vector<FileEntry> entries;
        entries.reserve(hits.size());
        SearchDetails::MatchLines lines;
        for (SearchHit &hit : hits) {
            if (!hit.matchLine.empty())
                lines.emplace(hit.entry.id(), std::move(hit.matchLine));
            entries.push_back(std::move(hit.entry));
        }
        if (!lines.empty()) {
            // Earlier snapshots keep their details; the parts are shared.
            auto details = std::make_shared<SearchDetails>(*m_details);
            details->addMatchLines(std::move(lines));
            m_details = std::move(details);
        }
        m_entries = m_entries.appending(std::move(entries));
        m_onSnapshot({m_entries, false, m_details});
    }

    void finished(SearchSummary summary) {
        if (m_cancelled)
            return;
        if (summary.cancelled) {
            m_onFinish(std::make_error_code(std::errc::operation_canceled));
            return;
        }
        if (!summary.problems.empty()) {
            auto details = std::make_shared<SearchDetails>(*m_details);
            for (const SearchProblem &problem : summary.problems)
                details->unreadable.push_back(problem.path);
            m_details = std::move(details);
        }
        const auto alive = weak_from_this();
        m_onSnapshot({m_entries, true, m_details});
        if (!alive.expired() && !m_cancelled)
            m_onFinish({});
    }

    DirectoryReading::SnapshotHandler m_onSnapshot;
    DirectoryReading::FinishHandler m_onFinish;
    std::unique_ptr<SearchRun> m_run;
    FileEntryList m_entries;
    std::shared_ptr<const SearchDetails> m_details;
    bool m_cancelled = false;
};

class ChannelSearch : public DirectoryRead {
public:
    explicit ChannelSearch(std::shared_ptr<SearchChannel> channel) : m_channel(std::move(channel)) {}
    ~ChannelSearch() override { m_channel->cancel(); }
    void cancel() override { m_channel->cancel(); }

private:
    std::shared_ptr<SearchChannel> m_channel;
};

} // namespace

std::unique_ptr<DirectoryRead> SearchReading::snapshots(const SearchQuery &query, bool showHidden,
                                                        DirectoryReading::SnapshotHandler onSnapshot,
                                                        DirectoryReading::FinishHandler onFinish) {
    MainThread::assertCurrent("SearchReading::snapshots");
    auto channel = std::make_shared<SearchChannel>(std::move(onSnapshot), std::move(onFinish));
    SearchOptions options;
    options.showHidden = showHidden;
    options.contentSizeLimit = contentSizeLimit;
    channel->start(m_walker, query, options);
    return std::make_unique<ChannelSearch>(std::move(channel));
}

} // namespace dromel
