# Sourced by the film test steps: writes their results as a gtest-style XML file, which the
# test summary counts. The cases come on standard input, one a line: NAME|SECONDS|FAILURE,
# with FAILURE empty for a case that passed.
smacker_write_results() { # file suite
    local file=$1 suite=$2 cases="" tests=0 failures=0 name time message
    while IFS='|' read -r name time message; do
        tests=$((tests + 1))
        if [ -z "$message" ]; then
            cases+="    <testcase name=\"$name\" time=\"$time\"/>"$'\n'
            continue
        fi
        failures=$((failures + 1))
        message=${message//&/&amp;}
        message=${message//</&lt;}
        message=${message//\"/&quot;}
        cases+="    <testcase name=\"$name\" time=\"$time\"><failure message=\"$message\"/></testcase>"$'\n'
    done
    cat >"$file" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="$tests" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="$suite" tests="$tests" failures="$failures" disabled="0" errors="0">
$cases  </testsuite>
</testsuites>
XML
}
