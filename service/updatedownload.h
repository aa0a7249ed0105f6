// The installer download of a self-update: one worker thread per attempt that fetches the
// offered installer block by block into a file, reports its progress to the download window,
// and tells the main window how it ended (notice 12: complete, hand over; notice 13: failed).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

// What the download thread tells its window; both are called on the download thread.
class UpdateDownloadView {
public:
    virtual ~UpdateDownloadView() = default;
    // After every block: bytes received so far ÷ the announced length. Not called when the reply
    // announces no length, since there is nothing to divide by.
    virtual void onProgress(double fraction) = 0;
    // Last thing the thread does: the attempt is over and the window should close.
    virtual void onAttemptEnded() = 0;
};

class UpdateDownload {
public:
    // Size of one read of the body; a shorter read ends the download.
    static constexpr std::size_t kBlockBytes = 3072;

    explicit UpdateDownload(UpdateDownloadView& view);
    ~UpdateDownload();  // stops a running attempt and waits for its thread
    UpdateDownload(const UpdateDownload&) = delete;
    UpdateDownload& operator=(const UpdateDownload&) = delete;

    // Starts the thread of a new attempt: GET `url`, body into `filePath` (created or truncated).
    // With `expectedSha256` (hex) a complete download whose digest differs is a failure, never
    // handed over. The thread of an earlier attempt is collected first.
    void start(const std::string& url, const std::string& filePath,
               const std::string& expectedSha256 = std::string());

    // The cancel button: a download that completes after this is not handed over. A hand-over
    // already decided stays decided.
    void cancel();

    // Stops the transfer before its next block and waits for the thread to end. On the UI
    // thread the main window's events are served meanwhile, so the thread's notices are
    // handled. Returns false without waiting when the thread is waiting for its failure notice
    // to be handled: that handler shows a modal tip, the caller may be running inside it (a
    // pushed command arriving while the tip is open), and waiting would then never end. The
    // thread ends by itself once the tip closes; a failed attempt is never handed over.
    bool stopAndWait();

    // The thread is transferring (set at start, cleared at its end and by stopAndWait()).
    bool isRunning() const { return m_bRunning.load(); }

private:
    enum class Outcome { Incomplete, Complete, Failed };

    void run(const std::string& url, const std::string& filePath,
             const std::string& expectedSha256);
    Outcome transfer(const std::string& url, const std::string& filePath);
    Outcome verify(const std::string& filePath, const std::string& expectedSha256);
    void sendNotice(unsigned code);
    void joinThread();

    UpdateDownloadView& m_view;
    std::atomic<bool> m_bRunning{false};
    std::thread m_hThread;
    std::mutex m_lock;    // guards m_bContinue and the hand-over decision
    int m_bContinue = 1;  // cleared by cancel()
    std::atomic<bool> m_ended{true};
    std::atomic<unsigned> m_noticeInFlight{0};  // notice the thread is sending, 0 if none
};
