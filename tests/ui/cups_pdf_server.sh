#!/usr/bin/env bash
# Starts a private CUPS server in DIR with one PDF printer (cups-pdf) named LgotyPDF, for the
# printing test. Prints "socket PID" on success; on failure prints the reason and exits 1.
# The server listens on a socket in DIR only; the caller stops it by its PID.
set -u
dir=$1
for tool in cupsd lpadmin; do
  command -v "$tool" >/dev/null || { echo "no $tool (Debian package cups)"; exit 1; }
done
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -f "$ppd" ] && [ -x /usr/lib/cups/backend/cups-pdf ] ||
  { echo "no cups-pdf (Debian package printer-driver-cups-pdf)"; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "the PDF backend runs only under a server started as root"; exit 1; }

mkdir -p "$dir"/{spool,cache,state,log,tmp}
chmod 755 "$dir"
chmod 1777 "$dir/tmp"
cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ServerBin /usr/lib/cups
DataDir /usr/share/cups
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
User lp
Group lp
SystemGroup root
FileDevice No
CONF
cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
pid=$!
export CUPS_SERVER=$dir/cups.sock
for _ in $(seq 1 100); do
  [ -S "$dir/cups.sock" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "cupsd stopped: $(tail -3 "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null)"; exit 1; }
  sleep 0.1
done
[ -S "$dir/cups.sock" ] || { kill "$pid"; echo "cupsd did not open its socket"; exit 1; }
if ! lpadmin -p LgotyPDF -E -v cups-pdf:/ -P "$ppd" >"$dir/log/lpadmin.out" 2>&1 ||
   ! lpadmin -d LgotyPDF >>"$dir/log/lpadmin.out" 2>&1; then
  kill "$pid"
  echo "lpadmin failed: $(tail -2 "$dir/log/lpadmin.out")"
  exit 1
fi
echo "$dir/cups.sock $pid"
