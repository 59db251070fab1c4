"""A web server, or a proxy, as the page's end-to-end cases need one.

    web_stand_in.py ADDRESS PORT MODE LOG

Logs each request's first line to LOG, which it creates once it listens.
MODE: ok (200), redirect (302), forbidden (403), pac (a PAC file naming
the proxy at 10.200.0.3:3128 for the test network), silent (accepts, never
answers), binary (a megabyte of escape sequences, no line end) or drop
(its queue full, so further connections are never accepted).
"""
import socket
import sys
import threading
import time

address, port, mode, log = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
PAC = ('function FindProxyForURL(url, host) {\n'
       '  return isInNet(host, "10.200.0.0", "255.255.255.0") ? "PROXY 10.200.0.3:3128" : "DIRECT";\n}\n')
ANSWERS = {
    'ok': 'HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<!doctype html><title>korvelin</title>',
    'redirect': 'HTTP/1.1 302 Found\r\nLocation: http://%s/login\r\nConnection: close\r\n\r\n' % address,
    'forbidden': 'HTTP/1.1 403 Forbidden\r\nConnection: close\r\n\r\n',
    'pac': 'HTTP/1.0 200 OK\r\nContent-Type: application/x-ns-proxy-autoconfig\r\n\r\n' + PAC,
}
held = []  # connections kept open, unanswered, until the stand-in is ended


def serve(connection):
    request = b''
    connection.settimeout(5)
    try:
        while b'\r\n\r\n' not in request and len(request) < 8192:
            part = connection.recv(4096)
            if not part:
                break
            request += part
    except OSError:
        pass
    with open(log, 'a') as out:
        out.write(request.split(b'\r\n', 1)[0].decode('latin-1') + '\n')
    if mode == 'silent':
        held.append(connection)
        return
    if mode == 'binary':
        held.append(connection)
        try:
            connection.sendall(b'\x1b[2J\x1b]0;owned\x07\x00\xff' * ((1 << 20) // 12))
        except OSError:
            pass  # the probe reads a few KiB and goes
        return
    connection.sendall(ANSWERS[mode].encode())
    connection.close()


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind((address, port))
listener.listen(0 if mode == 'drop' else 16)
if mode == 'drop':
    # Two connections that are never accepted fill a queue of 0 (one is
    # taken beyond the backlog): the next SYNs are dropped.
    for _ in range(2):
        filler = socket.socket()
        filler.setblocking(False)
        filler.connect_ex((address, port))
        held.append(filler)
    time.sleep(0.5)
open(log, 'a').close()
while mode != 'drop':
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
time.sleep(3600)
