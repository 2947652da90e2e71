#!/bin/busybox sh
# The first process of scripts/vm32.sh's virtual machine: loads the 9p modules, mounts the host's
# root, gives it a /proc, /sys, /dev, and a /tmp, /run and /dev/shm of its own (9p holds no
# sockets), carries in the host's /tmp folders named by ls_keep, runs the job ls_job in it, and
# powers off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
stty -onlcr 2>/dev/null
arg() { tr ' ' '\n' </proc/cmdline | sed -n "s/^$1=//p"; }
halt() {
  echo 0 >/proc/sys/kernel/printk 2>/dev/null
  sync
  poweroff -f
}
for m in $(cat /modules/order); do
  insmod "/modules/$m.ko" 2>/dev/null || echo "vm32: the module $m did not load"
done
# cache=loose: the guest keeps what it read (cache=mmap hung Wine).
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose,access=any host /newroot; then
  echo "vm32: cannot mount the host's files"
  halt
fi
n=0
for k in $(arg ls_keep | tr ':' ' '); do
  n=$((n + 1))
  mkdir -p "/keep/$n"
  mount --bind "/newroot$k" "/keep/$n"
done
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
# What udev would add to a bare devtmpfs: bash's process substitution needs /dev/fd.
ln -sf /proc/self/fd /newroot/dev/fd
ln -sf /proc/self/fd/0 /newroot/dev/stdin
ln -sf /proc/self/fd/1 /newroot/dev/stdout
ln -sf /proc/self/fd/2 /newroot/dev/stderr
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /newroot/dev/pts
mount -t tmpfs -o mode=1777 tmpfs /newroot/dev/shm
mount -t tmpfs -o mode=755 tmpfs /newroot/run
mount -t tmpfs -o mode=1777 tmpfs /newroot/tmp
n=0
for k in $(arg ls_keep | tr ':' ' '); do
  n=$((n + 1))
  mkdir -p "/newroot$k"
  mount --bind "/keep/$n" "/newroot$k"
done
hostname vm32
chroot /newroot /bin/bash "$(arg ls_job)/run.sh"
halt
