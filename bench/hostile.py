#!/usr/bin/env python3
"""The real program against a loopback auction service that misbehaves.

Larkvane runs as a user runs it (its own working folder, a tray, a
notification server, a sound server), with armed slots restored from its
file, while a loopback server answers as auctions.yahoo.co.jp:

  stale     one slot's page is a ten-minute-old copy served with a fresh Date;
            both slots must still alert at their lead before the true end
  ten       ten slots alert in the same second: ten notifications must stay
  stopped   the sound server is stopped (SIGSTOP) before the first alert:
            the second alert must still come on time, and SIGTERM must end
            the program within 2 s and free its lock
  browser   the browser process is stopped when the program is told to end:
            it must end within about 2 s
  big       ten slots read 28 MB pages in the second before their alert:
            the alerts must keep their second

Prints one line per scenario. Needs root (it maps the host name in
/etc/hosts for the run and listens on port 80), Xvfb, trayer, dunst,
dbus-daemon and pulseaudio.

  bench/hostile.py build/larkvane [scenario ...]
"""

import datetime
import http.server
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HOST = "auctions.yahoo.co.jp"
JST = datetime.timezone(datetime.timedelta(hours=9))
LEAD = 60
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# id -> {"end": epoch seconds, "stale": seconds, "pad": bytes}
pages = {}
served = []


class Service(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        m = re.search(r"/jp/auction/(\w+)", self.path)
        page = pages.get(m.group(1)) if m else None
        if page is None:
            self.send_error(404)
            return
        served.append((time.time(), m.group(1)))
        left = page["end"] - time.time() + page.get("stale", 0)
        end = datetime.datetime.fromtimestamp(int(page["end"]), JST).isoformat()
        item = {"auctionId": m.group(1), "title": "品 " + m.group(1), "endTime": end,
                "startTime": "2026-12-01T10:00:00+09:00", "status": "open",
                "leftTime": round(left, 3), "price": 1000, "bids": 1}
        data = {"props": {"pageProps": {"initialState": {"item": {"detail": {"item": item}}}}}}
        body = (b"<!DOCTYPE html><html><head><title>Yahoo!\xe3\x82\xaa\xe3\x83\xbc\xe3\x82\xaf"
                b"\xe3\x82\xb7\xe3\x83\xa7\xe3\x83\xb3</title></head><body>"
                + page.get("padding", b"")
                + b'<script id="__NEXT_DATA__" type="application/json">'
                + json.dumps(data, ensure_ascii=False).encode() + b"</script></body></html>")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw).stdout


class Desktop:
    """X, a tray, a session bus with dunst, and a sound server, all private."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.procs = []
        self.env = dict(os.environ)
        self.env.update(HOME=f"{tmp}/home", XDG_RUNTIME_DIR=f"{tmp}/run", DISPLAY=":87",
                        PULSE_SERVER=f"unix:{tmp}/pulse.sock", PULSE_RUNTIME_PATH=f"{tmp}/pulse",
                        QTWEBENGINE_DISABLE_SANDBOX="1", QT_LOGGING_RULES="larkvane.*.info=true",
                        QT_MESSAGE_PATTERN="%{time yyyy-MM-dd hh:mm:ss.zzz} %{category}: %{message}",
                        LANG="ja_JP.UTF-8")
        for d in ("home", "run", "pulse"):
            os.makedirs(f"{tmp}/{d}", mode=0o700)
        self.start(["Xvfb", ":87", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"])
        time.sleep(1)
        address = run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                       "--print-pid=2"], env=self.env).strip()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.start(["trayer"])
        self.start(["dunst"])
        with open(f"{tmp}/pulse.pa", "w") as f:
            f.write("load-module module-null-sink\n"
                    f"load-module module-native-protocol-unix auth-anonymous=1 socket={tmp}/pulse.sock\n")
        self.pulse = self.start(["pulseaudio", "-n", "-F", f"{tmp}/pulse.pa", "--daemonize=no",
                                 "--exit-idle-time=-1", "--use-pid-file=no", "--log-level=error"])
        time.sleep(2)

    def start(self, cmd):
        p = subprocess.Popen(cmd, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def notifications(self):
        counts = [int(run(["dunstctl", "count", k], env=self.env)) for k in ("displayed", "waiting")]
        return sum(counts)

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGCONT)
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        subprocess.run(["pkill", "-f", f"dbus-daemon.*{self.tmp}"], check=False)


def minute_text(epoch):
    return datetime.datetime.fromtimestamp(epoch, JST).strftime("%y/%m/%d %H:%M")


def start_program(program, desktop, work, slots, lead=LEAD, tray=True):
    """Writes the file as a user's last session left it and starts the program."""
    lines = ["[pref]", f"INI={lead}", f"check={int(tray)}", "[Sound_File]",
             f"wave={work}/timecall.wav", "[Auction_File]"]
    for n, (ident, end) in enumerate(slots, 1):
        lines += [f"data{n}=品 {ident}", f"start{n}=26/12/01 10:00", f"end{n}={minute_text(end)}",
                  f"URL{n}=http://{HOST}/jp/auction/{ident}"]
    os.makedirs(work, exist_ok=True)
    with open(f"{work}/larkvane.ini", "w", encoding="cp932") as f:
        f.write("\n".join(lines) + "\n")
    shutil.copy(f"{ROOT}/data/timecall.wav", work)
    log = open(f"{work}/log.txt", "w")
    return subprocess.Popen([program], cwd=work, env=desktop.env, stdout=log, stderr=subprocess.STDOUT), log


def alerts(work):
    """Slot number -> the time of its first alert, from the program's log."""
    found = {}
    for line in open(f"{work}/log.txt", encoding="utf-8", errors="replace"):
        m = re.match(r"(\S+ \S+) larkvane\.alarm: slot (\d+) alert", line)
        if m and int(m.group(2)) not in found:
            t = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f")
            found[int(m.group(2))] = t.timestamp()
    return found


def lateness(work, expected):
    got = alerts(work)
    return [round((got[n] - at) * 1000) if n in got else None for n, at in expected.items()]


def stop(proc, log):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    log.close()


def exit_ms(proc):
    """SIGTERM, and how long the program took to end (None: not in 20 s)."""
    began = time.time()
    proc.terminate()
    try:
        proc.wait(20)
    except subprocess.TimeoutExpired:
        return None
    return round((time.time() - began) * 1000)


def ends_in(seconds):
    """An end at least `seconds` ahead on the first seconds of its minute, so
    that the minute the file keeps is all but the page's end."""
    end = int(time.time()) + seconds
    while datetime.datetime.fromtimestamp(end, JST).second > 3:
        end += 1
    return end


def stale(program, desktop, tmp):
    e1 = ends_in(LEAD + 25)
    e2 = e1 + 5
    pages.update(s1={"end": e1, "stale": 600}, s2={"end": e2})
    proc, log = start_program(program, desktop, f"{tmp}/stale", [("s1", e1), ("s2", e2)])
    time.sleep(e2 - LEAD - time.time() + 3)
    late = lateness(f"{tmp}/stale", {1: e1 - LEAD, 2: e2 - LEAD})
    stop(proc, log)
    return f"stale copy (+600 s) on one of two slots: alerts late by {late} ms"


def ten(program, desktop, tmp):
    end = ends_in(LEAD + 25)
    slots = [(f"t{n}", end) for n in range(1, 11)]
    for ident, e in slots:
        pages[ident] = {"end": e}
    subprocess.run(["dunstctl", "close-all"], env=desktop.env, check=False)
    proc, log = start_program(program, desktop, f"{tmp}/ten", slots)
    time.sleep(end - LEAD - time.time() + 4)
    late = lateness(f"{tmp}/ten", {n: end - LEAD for n in range(1, 11)})
    shown = desktop.notifications()
    stop(proc, log)
    return f"ten alerts in one second: {sum(x is not None for x in late)} alerts, worst {max(x for x in late if x is not None)} ms late, {shown} notifications shown"


def stopped(program, desktop, tmp):
    e1 = ends_in(LEAD + 25)
    e2 = e1 + 8
    pages.update(p1={"end": e1}, p2={"end": e2})
    work = f"{tmp}/stopped"
    proc, log = start_program(program, desktop, work, [("p1", e1), ("p2", e2)])
    time.sleep(e1 - LEAD - time.time() - 5)
    desktop.pulse.send_signal(signal.SIGSTOP)
    time.sleep(e2 - LEAD - time.time() + 3)
    late = lateness(work, {1: e1 - LEAD, 2: e2 - LEAD})
    took = exit_ms(proc)
    # The lock is free: a new start runs as the one instance.
    again, again_log = start_program(program, desktop, f"{work}-again", [])
    time.sleep(3)
    runs = again.poll() is None
    stop(again, again_log)
    stop(proc, log)
    desktop.pulse.send_signal(signal.SIGCONT)
    return (f"sound server stopped before the first alert: alerts late by {late} ms; "
            f"exit took {took} ms; a new start {'runs' if runs else 'was refused'}")


def browser(program, desktop, tmp):
    work = f"{tmp}/browser"
    proc, log = start_program(program, desktop, work, [], tray=False)
    child = None
    deadline = time.time() + 30
    while child is None and time.time() < deadline:
        time.sleep(0.5)
        found = subprocess.run(["pgrep", "-P", str(proc.pid), "-f", "larkvane-browser"],
                               capture_output=True, text=True).stdout.split()
        child = int(found[0]) if found else None
    if child is None:
        stop(proc, log)
        return "browser process stopped at the exit: it never started"
    time.sleep(5)
    os.kill(child, signal.SIGSTOP)
    took = exit_ms(proc)
    try:
        os.kill(child, signal.SIGCONT)
        os.kill(child, signal.SIGKILL)
    except ProcessLookupError:
        pass
    stop(proc, log)
    return f"browser process stopped at the exit: SIGTERM ended the program in {took} ms"


def big(program, desktop, tmp):
    lead = 14
    end = ends_in(lead + 40)
    padding = b"<div>" + b"\xe3\x81\x82" * (28 * 1024 * 1024 // 3) + b"</div>"
    slots = [(f"b{n}", end) for n in range(1, 11)]
    for ident, e in slots:
        pages[ident] = {"end": e, "padding": padding}
    served.clear()
    proc, log = start_program(program, desktop, f"{tmp}/big", slots, lead)
    time.sleep(end - lead - time.time() + 4)
    late = lateness(f"{tmp}/big", {n: end - lead for n in range(1, 11)})
    read_at = [round(end - t) for t, ident in served]
    stop(proc, log)
    known = [x for x in late if x is not None]
    return (f"ten 28 MB pages read at 15 s before the end ({read_at.count(15) + read_at.count(16)} of them): "
            f"{len(known)} alerts, worst {max(known) if known else None} ms late")


def main():
    program = os.path.abspath(sys.argv[1])
    chosen = sys.argv[2:] or ["stale", "ten", "stopped", "browser", "big"]
    if os.geteuid() != 0:
        sys.exit("needs root: it maps the service's host name to this machine")
    hosts = open("/etc/hosts").read()
    line = f"127.0.0.1 {HOST} # bench/hostile.py\n"
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 80), Service)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    tmp = tempfile.mkdtemp(prefix="larkvane-hostile-")
    desktop = None
    try:
        with open("/etc/hosts", "a") as f:
            f.write(line)
        desktop = Desktop(tmp)
        for name in chosen:
            print(globals()[name](program, desktop, tmp), flush=True)
    finally:
        with open("/etc/hosts", "w") as f:
            f.write(hosts)
        if desktop:
            desktop.close()
        server.shutdown()
        print(f"logs in {tmp}", file=sys.stderr)


if __name__ == "__main__":
    main()
