#!/usr/bin/env python3
"""Runs an example program headless in a temporary folder and checks what it printed and
the last frame it saved.

  run_example.py single PROGRAM REGEX [ARG...]   one program; REGEX must match its output
  run_example.py chat PROGRAM                    a host and a joiner on a free loopback port
  run_example.py news PROGRAM                    news from a web server on loopback, then kept
"""
import functools, http.server, os, re, socket, struct, subprocess, sys, tempfile, threading, zlib

ENV = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")


def png_pixels(path):
    """The distinct RGB colours and the size of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        (n,), kind = struct.unpack(">I", data[pos:pos + 4]), data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            width, height, depth, colour_type = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    assert depth == 8 and colour_type in (2, 6), f"{path}: unexpected PNG format"
    bpp = 3 if colour_type == 2 else 4
    raw, stride, previous, colours = zlib.decompress(idat), width * bpp, bytearray(width * bpp), set()
    for y in range(height):
        row_filter, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - bpp] if x >= bpp else 0
            b, c = previous[x], previous[x - bpp] if x >= bpp else 0
            if row_filter == 1: row[x] = (row[x] + a) & 255
            elif row_filter == 2: row[x] = (row[x] + b) & 255
            elif row_filter == 3: row[x] = (row[x] + (a + b) // 2) & 255
            elif row_filter == 4:
                p = a + b - c
                row[x] = (row[x] + min((abs(p - a), a), (abs(p - b), b), (abs(p - c), c))[1]) & 255
        colours.update(bytes(row[x:x + 3]) for x in range(0, stride, bpp))
        previous = row
    return width, height, colours


def check_frame(path, least_colours):
    width, height, colours = png_pixels(path)
    assert (width, height) == (640, 480), f"{path}: frame of {width} x {height}"
    assert len(colours) >= least_colours, f"{path}: only {len(colours)} colours"


def single(program, pattern, args, folder):
    shot = os.path.join(folder, "frame.png")
    run = subprocess.run([program, *args, "--screenshot", shot], cwd=folder, env=ENV,
                         capture_output=True, text=True, timeout=120)
    print(run.stdout, run.stderr, sep="")
    assert run.returncode == 0, f"exit status {run.returncode}"
    assert re.search(pattern, run.stdout, re.M), f"no line matching {pattern!r}"
    check_frame(shot, 8)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def chat(program, folder):
    lines = {"ann": "hello from ann", "bob": "hi ann, bob here"}
    common = ["--quit-after", "1", "--frames", "1800"]
    for _ in range(5):  # another process may take the free port first
        port = str(free_port())
        host = subprocess.Popen([program, "host", port, "ann", "--say", lines["ann"], *common,
                                 "--screenshot", os.path.join(folder, "ann.png")],
                                cwd=folder, env=ENV, stdout=subprocess.PIPE, text=True)
        title = ""
        while host.poll() is None and "hosts on port" not in title:
            title = host.stdout.readline()
        if "hosts on port" in title:
            break
        host.wait()
    else:
        raise AssertionError("the host could not open a port")
    join = subprocess.run([program, "join", "127.0.0.1", port, "bob", "--say", lines["bob"], *common,
                           "--screenshot", os.path.join(folder, "bob.png")],
                          cwd=folder, env=ENV, capture_output=True, text=True, timeout=120)
    host_out = host.communicate(timeout=120)[0]
    print(host_out, join.stdout, join.stderr, sep="")
    assert host.returncode == 0 and join.returncode == 0, f"exit status {host.returncode}, {join.returncode}"
    assert f"bob: {lines['bob']}" in host_out.splitlines(), "the host did not get bob's line"
    assert f"ann: {lines['ann']}" in join.stdout.splitlines(), "the joiner did not get ann's line"
    for name in ("ann", "bob"):
        check_frame(os.path.join(folder, name + ".png"), 3)


def news(program, folder):
    served = os.path.join(folder, "served")
    os.mkdir(served)
    text = "".join("news line %d\r\n" % i for i in range(1, 6))
    with open(os.path.join(served, "news.txt"), "w", newline="") as f:
        f.write(text)
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=served)
    handler.log_message = lambda *args: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d/" % server.server_address[1]
    kept = os.path.join(folder, "news.txt")
    env = dict(ENV, no_proxy="*")
    # Fetched, then a missing page: the news fetched before stays whole.
    for url, line in ((base + "news.txt", "fetched: 5 lines"), (base + "gone.txt", "kept: 5 lines")):
        shot = os.path.join(folder, "news.png")
        run = subprocess.run([program, url, kept, "--frames", "3", "--screenshot", shot], cwd=folder,
                             env=env, capture_output=True, text=True, timeout=120)
        print(run.stdout, run.stderr, sep="")
        assert run.returncode == 0, f"exit status {run.returncode}"
        assert line in run.stdout.splitlines(), f"no line {line!r}"
        assert open(kept, newline="").read() == text, "the kept news differs from the served"
        check_frame(shot, 3)
    server.shutdown()


def main():
    with tempfile.TemporaryDirectory() as folder:
        ENV["TMPDIR"] = folder  # the programs' error log is not the user's
        if sys.argv[1] == "single":
            single(sys.argv[2], sys.argv[3], sys.argv[4:], folder)
        elif sys.argv[1] == "news":
            news(sys.argv[2], folder)
        else:
            chat(sys.argv[2], folder)
    print("example passed")


if __name__ == "__main__":
    main()
