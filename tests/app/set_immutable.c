/* set-immutable +i|-i PATH: sets or clears a file's immutable flag, the one
 * thing that makes Linux refuse a write even to root, and so lets the tests,
 * which run as root, give a file "access denied" under Wine. A Linux
 * program, built statically so that it runs in the 32-bit Wine root too;
 * Wine starts it like any other program. Exit code 0 when the flag is set
 * as asked. */
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3 || (strcmp(argv[1], "+i") != 0 && strcmp(argv[1], "-i") != 0))
        return 2;
    const int file = open(argv[2], O_RDONLY | O_NONBLOCK);
    int flags = 0;
    if (file < 0 || ioctl(file, FS_IOC_GETFLAGS, &flags) != 0) {
        perror(argv[2]);
        return 1;
    }
    flags = argv[1][0] == '+' ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    const int status = ioctl(file, FS_IOC_SETFLAGS, &flags);
    close(file);
    return status == 0 ? 0 : 1;
}
