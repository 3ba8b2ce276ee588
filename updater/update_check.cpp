#include "updater/update_check.h"

#include "platform/codepage.h"
#include "platform/settings.h"
#include "updater/installer_download.h"
#include "updater/version_file.h"

namespace tarvane::updater {

std::string VersionFileAddress(const std::string& officialHost) {
    return "http://" + officialHost + kVersionFilePath;
}

std::uint32_t InstalledVersion(const std::string& programDirectory) {
    return static_cast<std::uint32_t>(platform::Settings(programDirectory).Ver());
}

UpdateOutcome RunUpdateCheck(const UpdaterSetup& setup, HttpFetcher& fetcher, platform::ProcessStarter& starter) {
    std::uint32_t installed = InstalledVersion(setup.programDirectory);
    std::string installer = setup.programDirectory + kInstallerFileName;
    RemoveStaleTemporaries(installer, setup.staleTemporaryAge);

    std::string body;
    FetchResult fetched = fetcher.Fetch(setup.versionFileAddress, [&body, &setup](std::string_view block) {
        if (body.size() + block.size() > setup.maxVersionBytes) {
            return false;
        }
        body.append(block);
        return true;
    });
    if (!fetched.Ok()) {
        return UpdateOutcome::NoVersionFile;
    }
    std::optional<PublishedVersion> published = ParseVersionFile(body);
    if (!published) {
        return UpdateOutcome::Malformed;
    }
    if (installed >= published->version) {
        return UpdateOutcome::UpToDate;
    }

    if (!DownloadInstaller(fetcher, published->installerAddress, installer, setup.maxInstallerBytes)) {
        return UpdateOutcome::DownloadFailed;
    }
    return starter.Start(platform::Utf8FromAnsi(installer), {}) ? UpdateOutcome::InstallerStarted
                                                                : UpdateOutcome::StartFailed;
}

}  // namespace tarvane::updater
