# Prints the NAME of every case_NAME() function that an end-to-end script
# defines, one a line: what its dispatcher can run. A line that starts a
# case_ function in any other form (indented, "function case_x", "case_x
# {") is one the tests would miss: it fails with its file and line.
/^case_[^ \t=(){}]+ ?\(\)/ { sub(/ ?\(\).*$/, ""); print substr($0, 6); next }
/^[ \t]*function[ \t]+case_/ || /^[ \t]*case_[^ \t=(){}]*[ \t]*(\(|\{|$)/ {
    printf "%s:%d: a case the tests cannot read; write it as case_NAME() {\n", FILENAME, FNR > "/dev/stderr"
    unreadable = 1
}
END { exit unreadable }
