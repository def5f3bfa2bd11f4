#!/usr/bin/env python3
"""Run a command and sample its thread count while it runs.

    threads.py [--every-ms 2] -- COMMAND [ARG ...]

Every --every-ms the number of entries in /proc/PID/task (the "Threads:" line of
/proc/PID/status) is read; prints one line with the highest count seen, the
number of samples, the wall time, the peak RSS (wait4) and the exit status.
The command's output goes to /dev/null.
"""
import argparse
import os
import subprocess
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--every-ms", type=float, default=2.0)
    ap.add_argument("cmd", nargs=argparse.REMAINDER)
    a = ap.parse_args()
    cmd = a.cmd[1:] if a.cmd and a.cmd[0] == "--" else a.cmd
    t0 = time.monotonic()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         stdin=subprocess.DEVNULL)
    most, samples, counts = 0, 0, {}
    while True:
        try:
            with open(f"/proc/{p.pid}/status") as f:
                for line in f:
                    if line.startswith("Threads:"):
                        n = int(line.split()[1])
                        most = max(most, n)
                        counts[n] = counts.get(n, 0) + 1
                        samples += 1
                        break
        except (FileNotFoundError, ProcessLookupError):
            pass
        pid, status, ru = os.wait4(p.pid, os.WNOHANG)
        if pid:
            break
        time.sleep(a.every_ms / 1000)
    wall = time.monotonic() - t0
    dist = " ".join(f"{k}:{v}" for k, v in sorted(counts.items()))
    print(f"threads max {most} samples {samples} (threads:samples {dist}) wall {wall:.2f}s "
          f"peak_rss {ru.ru_maxrss / 1024:.1f}MiB exit {os.waitstatus_to_exitcode(status)}")


if __name__ == "__main__":
    main()
