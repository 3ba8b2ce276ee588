#pragma once

#include <string>

namespace tarvane {

// Why a task failed, in plain Chinese (code page 936): kept in the task's item and shown as the tip
// of its row.
std::string ReasonForStatus(long status);
// A transfer that ended with a libcurl code; `writeError` is the errno of a failed write, or 0.
std::string ReasonForTransfer(int curlCode, int writeError);
std::string ReasonNoRoom();
std::string ReasonNotWritable();
std::string ReasonLinkExpired();
std::string ReasonWebPage();
// The parse service named no file for a game page; `officialHost` is where help is found.
std::string ReasonLookupFailed(const std::string& officialHost);
// Shown while the parse service is asked (not a failure).
std::string ReasonLookingUp();
std::string ReasonKeepsChanging();
// A finished archive whose CRC or digest did not match, or that was cut off.
std::string ReasonArchiveDamaged();
// Shown while a finished archive is read through (not a failure).
std::string ReasonChecking();
// Shown while a finished archive is unpacked (not a failure).
std::string ReasonUnpacking();
// Bytes fetched again differ from those on disk.
std::string ReasonNotContinuation();
std::string ReasonBadLink();
// The system gave no thread to run the download on.
std::string ReasonNoThread();
std::string ReasonStalled(long stallSeconds, int retries);
std::string ReasonAfterRetries(const std::string& reason, int retries);

// A status that says the stored link no longer leads to the file (not a proxy's 407).
bool IsExpiredStatus(long status);
// A status of a server or gateway that is busy or restarting: asked again later, it may answer.
bool IsBusyStatus(long status);
// An end that another attempt from what is on disk may mend: a stall, a dropped or cut connection,
// a time-out while connecting, a refused connection or a name not found (a restarting server or a
// network blip).
bool IsRetryable(int curlCode);

}  // namespace tarvane
