#!/usr/bin/env bash
# Idle CPU of the real program with a SIP line over TCP open and registered: SIPp on loopback is
# the registrar (it answers the REGISTER with 200 and keeps the connection open), then
# idle_and_memory.sh measures as usual.
#   bench/app/idle_sip_tcp.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-60}
build=${2:-build}
here=$(cd "$(dirname "$0")" && pwd)
command -v sipp >/dev/null || { echo "needs sipp (scripts/install-deps)"; exit 1; }

work=$(mktemp -d)
sipp_pid=
trap '[[ -n $sipp_pid ]] && kill "$sipp_pid" 2>/dev/null; rm -rf "$work"' EXIT
# Two loopback TCP ports nobody listens on now.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
registrar_port=$(free_port)
line_port=$(free_port)

cat >"$work/registrar.xml" <<'XML'
<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="registrar">
  <recv request="REGISTER"/>
  <send><![CDATA[
SIP/2.0 200 OK
[last_Via:]
[last_From:]
[last_To:];tag=[pid]reg
[last_Call-ID:]
[last_CSeq:]
Contact: <sip:kestrium@127.0.0.1;transport=tcp>;expires=600
Content-Length: 0

]]></send>
  <pause milliseconds="600000"/>
</scenario>
XML
{
  for i in 1 2 3 4; do printf '[line]\nname = Zo-Linka Line %s\n' "$i"; done
  printf '[line]\nname = IP Line 1\nkind = sip\nuser = kestrium\ndomain = 127.0.0.1\n'
  printf 'registrar = sip:127.0.0.1:%s;transport=tcp\nregister = yes\ntransport = tcp\n' "$registrar_port"
  printf 'local-address = 127.0.0.1\nlocal-port = %s\n' "$line_port"
} >"$work/exchange.conf"

sipp -sf "$work/registrar.xml" -t t1 -i 127.0.0.1 -p "$registrar_port" -m 1 \
  -trace_msg -message_file "$work/messages.log" >"$work/sipp.log" 2>&1 &
sipp_pid=$!
sleep 1
KESTRIUM_EXCHANGE_CONFIG="$work/exchange.conf" "$here/idle_and_memory.sh" "$seconds" "$build"
grep -q "^SIP/2.0 200 OK" "$work/messages.log" && echo "registered over TCP: yes" ||
  { echo "registered over TCP: no (the registrar saw no REGISTER)"; exit 1; }
