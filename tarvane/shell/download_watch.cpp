#include "tarvane/shell/download_watch.h"

#include "desktop/qt_text.h"

namespace tarvane {

namespace {

// With the inhibitor's own delay, a machine is free to sleep within 5 s of the last task's end.
constexpr int kPollIntervalMs = 250;

}  // namespace

DownloadWatch::DownloadWatch(Setup setup, ThreadMailbox& mailbox, QObject* parent)
    : QObject(parent),
      mailbox_(mailbox),
      busy_(std::move(setup.busy)),
      inhibitor_(std::move(setup.systemBus)),
      notifier_(std::move(setup.sessionBus), std::move(setup.actions)) {
    connect(&poll_, &QTimer::timeout, this, &DownloadWatch::Poll);
    poll_.start(kPollIntervalMs);
}

void DownloadWatch::Poll() {
    bool busy = busy_();
    // Told only of changes: without a login manager, it is asked once a run, not every turn.
    if (busy != wasBusy_) {
        wasBusy_ = busy;
        inhibitor_.SetBusy(busy);
    }
}

void DownloadWatch::Finished(const std::string& file, const std::string& folder, const std::string& unpackFailure) {
    mailbox_.Post([this, file, folder, unpackFailure] {
        notifier_.TaskFinished(UiText(file), UiText(folder), UiText(unpackFailure));
    });
}

void DownloadWatch::FailedForGood(const std::string& name, const std::string& reason) {
    mailbox_.Post([this, name, reason] { notifier_.TaskFailed(UiText(name), UiText(reason)); });
}

}  // namespace tarvane
