# Standard input or output that is no terminal: one line on stderr, exit code 2, nothing drawn.
for redirect in stdin stdout; do
    if [ $redirect = stdin ]; then
        echo 2 | "$VN_EXE" > "$VW_RUN/not_a_terminal.out" 2> "$VW_RUN/not_a_terminal.err" && code=0 || code=$?
    else
        "$VN_EXE" < /dev/null > "$VW_RUN/not_a_terminal.out" 2> "$VW_RUN/not_a_terminal.err" && code=0 || code=$?
    fi
    message=$(cat "$VW_RUN/not_a_terminal.err")
    echo "$redirect: exit code $code, \"$message\""
    [ "$code" = 2 ] || exit 1
    [ "$(wc -l < "$VW_RUN/not_a_terminal.err")" = 1 ] && grep -q "terminal" <<< "$message" || exit 1
    [ ! -s "$VW_RUN/not_a_terminal.out" ] || exit 1
done
