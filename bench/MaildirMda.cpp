// The delivery agent fetchmail runs for each message in the receive
// benchmark: the message from standard input into one new file of the
// Maildir given as argument, written in tmp/, synced, renamed into new/ —
// what a Maildir delivery agent does.
#include <fcntl.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 64;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::string name = std::to_string(now.tv_sec) + "." + std::to_string(now.tv_nsec) + "." +
                             std::to_string(getpid()) + ".bench";
    const std::string folder = argv[1];
    const std::string temporary = folder + "/tmp/" + name;
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return 75;
    char buffer[65536];
    for (ssize_t n; (n = read(0, buffer, sizeof buffer)) > 0;)
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(fd, buffer + done, static_cast<size_t>(n - done));
            if (w <= 0)
                return 75;
            done += w;
        }
    if (fsync(fd) != 0 || close(fd) != 0)
        return 75;
    return rename(temporary.c_str(), (folder + "/new/" + name).c_str()) == 0 ? 0 : 75;
}
