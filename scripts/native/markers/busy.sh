# The markers of 44 titles while a busy loop runs on every core.
vn_markers busy
