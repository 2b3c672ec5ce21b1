#!/usr/bin/env python3
"""A loopback proxy in front of a server it starts itself, for the resumable
upload proofs: it cuts connections at chosen points of the bytes going up,
can refuse every connection for a while, and kills and restarts its server.

  cutting_proxy.py PORTFILE -- server command...

The server gets PORT in its environment. One line per command on the control
port (written to PORTFILE as "proxy control"):
  cuts N SPAN SEED   cut N times at random points of the next SPAN bytes up
  block AFTER        after AFTER more bytes up, cut and refuse until "open"
  open
  restart AFTER      after AFTER more bytes up, kill the server, start it again
  stats              answers "up BYTES cuts N restarts N"
"""
import os, random, signal, socket, subprocess, sys, threading, time

lock = threading.Lock()
state = {"up": 0, "cuts": [], "ncuts": 0, "block_at": None, "blocked": False, "restart_at": None, "restarts": 0}
portfile, command = sys.argv[1], sys.argv[sys.argv.index("--") + 1:]


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


server_port = free_port()
server = None


def start_server():
    global server
    server = subprocess.Popen(command, env=dict(os.environ, PORT=str(server_port)), stdout=sys.stderr)
    for _ in range(300):
        try:
            socket.create_connection(("127.0.0.1", server_port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)


def restart_server():
    server.kill()
    server.wait()
    time.sleep(1.0)  # refused meanwhile
    start_server()
    state["restarts"] += 1


def take(n):
    """How many of n bytes may go up before the next cut (n: all), and whether to cut."""
    with lock:
        limit = n
        marks = list(state["cuts"]) + [x for x in (state["block_at"], state["restart_at"]) if x is not None]
        due = [m for m in marks if m < state["up"] + n]
        if due:
            limit = max(0, min(due) - state["up"])
        state["up"] += limit
        if not due:
            return limit, False
        mark = min(due)
        if mark in state["cuts"]:
            state["cuts"].remove(mark)
        if mark == state["block_at"]:
            state["block_at"], state["blocked"] = None, True
        if mark == state["restart_at"]:
            state["restart_at"] = None
            threading.Thread(target=restart_server, daemon=True).start()
        state["ncuts"] += 1
        return limit, True


def pump(src, dst, upward):
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            cut = False
            if upward:
                n, cut = take(len(data))
                data = data[:n]
            if data:
                dst.sendall(data)
            if cut:
                break
    except OSError:
        pass
    for s in (src, dst):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
    for s in (src, dst):
        s.close()


def serve_client(client):
    if state["blocked"]:
        client.close()
        return
    try:
        up = socket.create_connection(("127.0.0.1", server_port))
    except OSError:
        client.close()
        return
    threading.Thread(target=pump, args=(up, client, False), daemon=True).start()
    pump(client, up, True)


def control(conn):
    f = conn.makefile("rw")
    for line in f:
        words = line.split()
        with lock:
            if words[0] == "cuts":
                n, span, seed = int(words[1]), int(words[2]), int(words[3])
                rnd = random.Random(seed)
                state["cuts"] = sorted(state["up"] + rnd.randrange(1, span) for _ in range(n))
            elif words[0] == "block":
                state["block_at"] = state["up"] + int(words[1])
            elif words[0] == "open":
                state["blocked"] = False
            elif words[0] == "restart":
                state["restart_at"] = state["up"] + int(words[1])
        if words[0] == "stats":
            f.write("up %d cuts %d restarts %d\n" % (state["up"], state["ncuts"], state["restarts"]))
        else:
            f.write("ok\n")
        f.flush()


def listen(port=0):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(64)
    return s


def accept_loop(s, handler):
    while True:
        conn, _ = s.accept()
        threading.Thread(target=handler, args=(conn,), daemon=True).start()


start_server()
proxy, ctl = listen(), listen()
with open(portfile + ".tmp", "w") as f:
    f.write("%d %d\n" % (proxy.getsockname()[1], ctl.getsockname()[1]))
os.rename(portfile + ".tmp", portfile)
threading.Thread(target=accept_loop, args=(ctl, control), daemon=True).start()
# Stopped with SIGTERM by its caller: the server goes with it (the default
# action would leave it running, port and all).
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
try:
    accept_loop(proxy, serve_client)
finally:
    server.kill()
