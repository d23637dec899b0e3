namespace zol {}
