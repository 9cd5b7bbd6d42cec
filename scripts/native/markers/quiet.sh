# The markers of 44 titles on the machine as it is (other work may run on it meanwhile).
vn_markers quiet
