# Snapshots of folder trees, to prove that a session of the player left the files it saw
# byte-identical. Sourced by the Wine and Xvfb tests.
#
# One line per entry, sorted by path: type, path relative to the root, size, SHA-256 of the
# contents (files only), mode bits and the DOS attributes Wine keeps in the extended
# attribute user.DOSATTRIB (hidden, system, read-only set from Windows; empty where the file
# system holds none). Times are left out: Wine's own reads update access times.

# snapshot_take ROOT FILE: writes the snapshot of the tree under ROOT to FILE.
snapshot_take() {
    local root=$1 file=$2
    [ -d "$root" ] || {
        echo "snapshot: no folder $root"
        return 1
    }
    python3 - "$root" > "$file" << 'EOF'
import hashlib, os, stat, sys

root = sys.argv[1]


def dos_attributes(path):
    try:
        return os.getxattr(path, "user.DOSATTRIB", follow_symlinks=False).hex()
    except OSError:
        return "-"


lines = []
for folder, dirs, files in os.walk(root):
    dirs.sort()
    for name in sorted(dirs) + sorted(files):
        path = os.path.join(folder, name)
        rel = os.path.relpath(path, root)
        info = os.lstat(path)
        mode = "%o" % stat.S_IMODE(info.st_mode)
        if stat.S_ISDIR(info.st_mode):
            lines.append("d %s - - %s %s" % (rel, mode, dos_attributes(path)))
        elif stat.S_ISLNK(info.st_mode):
            lines.append("l %s -> %s" % (rel, os.readlink(path)))
        else:
            digest = hashlib.sha256()
            with open(path, "rb") as data:
                for block in iter(lambda: data.read(1 << 20), b""):
                    digest.update(block)
            lines.append("f %s %d %s %s %s" % (rel, info.st_size, digest.hexdigest(), mode,
                                               dos_attributes(path)))
# Names may hold blanks: the path is followed by the fixed fields, one line per entry.
print("\n".join(sorted(lines)))
EOF
}

# snapshot_compare BEFORE AFTER [WHAT]: returns 0 when both snapshots are equal, else prints
# the difference (lines "-" only before, "+" only after) and returns 1.
snapshot_compare() {
    local before=$1 after=$2 what=${3:-folder}
    if cmp -s "$before" "$after"; then
        return 0
    fi
    echo "$what changed during the session:"
    diff -u "$before" "$after" | sed -n '3,$p' | sed 's/^/    /'
    return 1
}

# Watching the folders of a test session. SESSION is the session's scratch folder.
# snapshot_watch SESSION ROOT: takes the "before" snapshot of ROOT for the session.
snapshot_watch() {
    local session=$1 root=$2 n
    n=$(cat "$session/watched" 2> /dev/null | wc -l)
    snapshot_take "$root" "$session/watch-$n.before" || return 1
    printf '%s\n' "$root" >> "$session/watched"
}

# snapshot_check SESSION: compares every watched folder with its "before" snapshot; call it
# once the program has ended (Wine may still be closing files before that).
snapshot_check() {
    local session=$1 n=0 root bad=0
    [ -e "$session/watched" ] || return 0
    while IFS= read -r root; do
        snapshot_take "$root" "$session/watch-$n.after" &&
            snapshot_compare "$session/watch-$n.before" "$session/watch-$n.after" "$root" ||
            bad=1
        n=$((n + 1))
    done < "$session/watched"
    return $bad
}
