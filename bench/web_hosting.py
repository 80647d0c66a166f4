"""Results day for the page: nginx (Debian's) serving it on 127.0.0.1 from a temporary directory, driven by wrk.

The page is served as a host serves a file that changes once a year: precompressed beside itself (gzip_static, and
brotli_static when Debian's module libnginx-mod-http-brotli-static is installed), with, for comparison, a second
server that compresses each response itself (gzip on, level 6). Each wrk run is checked first: one request of that
encoding must come back 200 with that Content-Encoding and decode to the page. nginx runs in the foreground under
this script and is stopped by its id; its directory is removed.
"""

import gzip
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BROTLI_MODULE = Path("/usr/lib/nginx/modules/ngx_http_brotli_static_module.so")



def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


NGINX_CONF = """
daemon off;
worker_processes 1;
pid {tmp}/nginx.pid;
error_log {tmp}/error.log;
{load_brotli}
events {{ worker_connections 256; }}
http {{
    access_log off;
    client_body_temp_path {tmp}/body; proxy_temp_path {tmp}/proxy; fastcgi_temp_path {tmp}/fastcgi;
    uwsgi_temp_path {tmp}/uwsgi; scgi_temp_path {tmp}/scgi;
    types {{ text/html html; }}
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    add_header Content-Security-Policy "{policy}" always;
    # Precompressed, as a host serves a file that changes once a year.
    server {{
        listen 127.0.0.1:{port};
        root {tmp}/site;
        gzip_static on;
        {brotli_static}
        gzip_vary on;
    }}
    # Compressed per request, for comparison: a host that only turns gzip on.
    server {{
        listen 127.0.0.1:{port_dynamic};
        root {tmp}/site;
        gzip on;
        gzip_comp_level 6;
    }}
}}
"""

WRK_SCRIPT = """
wrk.headers["Accept-Encoding"] = os.getenv("ENCODING")
done = function(summary, latency, requests)
  local e = summary.errors
  io.write(string.format('RESULT {"requests": %d, "bytes": %d, "duration_us": %d, "p50_us": %d, "p99_us": %d, '
    .. '"connect": %d, "read": %d, "write": %d, "timeout": %d, "status": %d}\\n', summary.requests, summary.bytes,
    summary.duration, latency:percentile(50), latency:percentile(99), e.connect, e.read, e.write, e.timeout, e.status))
end
"""


def fetch(port, path, encoding):
    """(status, header text, header length, body with any chunking undone) of one request."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: {encoding}\r\nConnection: close\r\n\r\n"
                  .encode())
        data = b""
        while chunk := s.recv(65536):
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    if b"\r\nTransfer-Encoding: chunked" in head:  # what nginx does with a body it compresses as it sends
        chunks, rest = [], body
        while True:
            size, _, rest = rest.partition(b"\r\n")
            if int(size, 16) == 0:
                break
            chunks.append(rest[:int(size, 16)])
            rest = rest[int(size, 16) + 2:]
        body = b"".join(chunks)
    return int(head.split()[1]), head.decode(errors="replace"), len(head) + 4, body


def page_policy(page):
    """The content-security policy the page states for itself, which a host sends as a header too."""
    found = re.search(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)"', page.read_text(encoding="utf-8"))
    return found[1] if found else "default-src 'none'"


def results_day(page, sizes, seconds, connections):
    tmp = tempfile.mkdtemp(prefix="compare-nginx-")
    os.chmod(tmp, 0o755)  # nginx's worker runs as nobody
    site = Path(tmp) / "site"
    site.mkdir()
    shutil.copyfile(page, site / "index.html")
    (site / "index.html.gz").write_bytes(sizes["gzip_data"])
    (site / "index.html.br").write_bytes(sizes["brotli_data"])
    for path in site.iterdir():
        path.chmod(0o644)
    site.chmod(0o755)
    port, port_dynamic = free_port(), free_port()
    brotli = BROTLI_MODULE.exists()
    conf = Path(tmp) / "nginx.conf"
    conf.write_text(NGINX_CONF.format(tmp=tmp, policy=page_policy(page), port=port, port_dynamic=port_dynamic,
                                      load_brotli=f"load_module {BROTLI_MODULE};" if brotli else "",
                                      brotli_static="brotli_static on;" if brotli else ""))
    (Path(tmp) / "report.lua").write_text(WRK_SCRIPT)
    nginx = subprocess.Popen(["nginx", "-p", tmp, "-e", f"{tmp}/error.log", "-c", str(conf)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    results = {"brotli_module": brotli, "runs": {}}
    try:
        deadline = time.monotonic() + 10
        while True:
            try:
                fetch(port, "/index.html", "identity")
                fetch(port_dynamic, "/index.html", "identity")
                break
            except OSError:
                if nginx.poll() is not None or time.monotonic() > deadline:
                    sys.exit("compare.py: nginx did not start: " + (Path(tmp) / "error.log").read_text())
                time.sleep(0.05)
        cases = [("precompressed brotli", port, "br")] if brotli else []
        cases += [("precompressed gzip -9", port, "gzip"), ("gzip per request (level 6)", port_dynamic, "gzip"),
                  ("uncompressed", port, "identity")]
        expected = page.read_bytes()
        for label, where, encoding in cases:
            status, head, head_bytes, body = fetch(where, "/index.html", encoding)
            sent = "br" if "Content-Encoding: br" in head else "gzip" if "Content-Encoding: gzip" in head else "identity"
            plain = gzip.decompress(body) if sent == "gzip" else body
            if sent == "br":
                plain = subprocess.run(["brotli", "-d", "-c"], input=body, capture_output=True, check=True).stdout
            if status != 200 or sent != encoding or plain != expected:
                sys.exit(f"compare.py: nginx answered {status} with {sent} for {encoding}, not the page")
            output = subprocess.run(
                ["wrk", "-t1", f"-c{connections}", f"-d{seconds}s", "--latency", "-s", str(Path(tmp) / "report.lua"),
                 f"http://127.0.0.1:{where}/index.html"], env=dict(os.environ, ENCODING=encoding),
                capture_output=True, text=True, check=True, timeout=seconds + 60).stdout
            line = next(x for x in output.splitlines() if x.startswith("RESULT "))
            run = json.loads(line.split(" ", 1)[1])
            run.update(head_bytes=head_bytes, body_bytes=len(body), encoding=encoding)
            results["runs"][label] = run
            time.sleep(1)
    finally:
        nginx.terminate()  # the master stops its worker
        try:
            nginx.wait(timeout=10)
        except subprocess.TimeoutExpired:
            nginx.kill()
            nginx.wait()
        shutil.rmtree(tmp, ignore_errors=True)
    return results
