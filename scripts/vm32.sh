#!/usr/bin/env bash
# Runs a command inside a small virtual machine whose kernel runs 32-bit programs, for machines
# whose own kernel refuses them. The guest sees this machine's files as its own (its root is this
# machine's / over 9p), starts in the current folder with the current environment, and has a /tmp,
# /run and /dev/shm of its own (9p cannot hold sockets). What the command prints comes back here,
# and so does its exit status. Needs root.
#   scripts/vm32.sh COMMAND [ARGS...]
#   e.g. scripts/vm32.sh scripts/with-display.sh ctest --preset win32 -R core_mixer
# Exits 125, saying why, when the virtual machine cannot be made or does not come up.
#
# It is QEMU's software emulation (no KVM, no 32-bit support needed here): Debian's generic kernel,
# fetched and unpacked into a cache (never installed here), and a busybox initramfs that loads
# the 9p modules, mounts this machine's root and runs the command in it. Folders under this
# machine's /tmp that the command needs (the current folder, and LS_VM32_KEEP, colon-separated)
# are carried into the guest's /tmp.
# Settings: LS_VM32_MEMORY (MiB, default 6144), LS_VM32_CPUS (default: this machine's cores, at
# most 4), LS_VM32_CACHE (default /var/cache/ls-vm32), LS_VM32_ROOT (the folder the guest takes as
# its root, default /; another one, such as a debootstrap tree, must hold the current folder).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib/apt.sh"
(($#)) || { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
cache=${LS_VM32_CACHE:-/var/cache/ls-vm32}

cannot() {
  echo "vm32: $*" >&2
  exit 125
}

# QEMU, busybox for the initramfs and depmod to read the kernel's module dependencies.
tools=(qemu-system-x86 busybox-static cpio kmod xz-utils)
if ! apt_installed "${tools[@]}"; then
  apt_update
  apt_install --no-install-recommends "${tools[@]}" || cannot "QEMU could not be installed: $APT_REASON"
fi

# The generic kernel of Debian's current kernel package (the cloud flavour has no 9p), once.
kernel_package() {
  local image
  image=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  [ -n "$image" ] && echo "$image-unsigned"
}
# Modules the initramfs loads, in this order (each after those it needs).
modules=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache
  9pnet 9pnet_virtio 9p)

make_boot_files() {  # $1: the kernel package
  local work kver m file
  work=$(mktemp -d)
  (cd "$work" && chmod 777 . && apt-get download -q "$1" >/dev/null 2>&1) ||
    { rm -rf "$work"; cannot "cannot fetch the kernel package $1"; }
  dpkg-deb -x "$work"/*.deb "$work/x"
  kver=$(basename "$(ls -d "$work"/x/lib/modules/*/ | head -n 1)")
  mkdir -p "$work/initramfs"/{bin,modules,proc,sys,dev,newroot,keep}
  cp /bin/busybox "$work/initramfs/bin/busybox"
  for m in "${modules[@]}"; do
    file=$(find "$work/x/lib/modules/$kver" -name "$m.ko*" | head -n 1)
    [ -n "$file" ] || { rm -rf "$work"; cannot "the kernel $kver has no module $m"; }
    case "$file" in
      *.xz) xz -dc "$file" >"$work/initramfs/modules/$m.ko" ;;
      *) cp "$file" "$work/initramfs/modules/$m.ko" ;;
    esac
  done
  printf '%s\n' "${modules[@]}" >"$work/initramfs/modules/order"
  cp "$root/scripts/vm32-init.sh" "$work/initramfs/init"
  chmod +x "$work/initramfs/init"
  mkdir -p "$cache/$1.new"
  cp "$work"/x/boot/vmlinuz-* "$cache/$1.new/vmlinuz"
  (cd "$work/initramfs" && find . | cpio -o -H newc --quiet | gzip -1) >"$cache/$1.new/initramfs.gz"
  rm -rf "$cache/$1" "$work"
  mv "$cache/$1.new" "$cache/$1"
}

package=$(kernel_package) || true
[ -n "${package:-}" ] || cannot "no kernel package found (apt-cache depends linux-image-amd64)"
boot="$cache/$package"
if [ ! -f "$boot/initramfs.gz" ] || [ "$root/scripts/vm32-init.sh" -nt "$boot/initramfs.gz" ]; then
  echo "vm32: preparing the virtual machine's kernel ($package)" >&2
  make_boot_files "$package"
fi

# The job: a script on the guest's root (outside /tmp, which the guest replaces) that the guest
# runs there; it leaves the command's status beside itself. $job is its folder as the guest sees
# it, $vmroot$job as this machine does.
vmroot=${LS_VM32_ROOT:-/}
vmroot=${vmroot%/}
[ -z "$vmroot" ] || [ -d "$vmroot/bin" ] || cannot "LS_VM32_ROOT=$vmroot holds no system"
mkdir -p "$vmroot/var/tmp"
job=$(mktemp -d "$vmroot/var/tmp/ls-vm32-job.XXXXXX")
trap 'rm -rf "$vmroot$job"' EXIT
job=${job#"$vmroot"}
{
  echo "cd $(printf '%q' "$PWD")"
  # The environment as it is here, but for what names this machine's display, sockets and
  # terminal.
  while IFS= read -r -d '' pair; do
    name=${pair%%=*}
    [[ $name =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] || continue
    case "$name" in
      DISPLAY | XAUTHORITY | XDG_RUNTIME_DIR | PULSE_SERVER | DBUS_SESSION_BUS_ADDRESS | TMPDIR | \
        PWD | OLDPWD | SHLVL | _ | TERM | SSH_* | WINESERVER) continue ;;
    esac
    printf 'export %s=%q\n' "$name" "${pair#*=}"
  done < <(env -0)
  # Tests that keep time with the real world can tell that they run emulated.
  echo "export LS_VM32_GUEST=1"
  printf '%q ' "$@"
  echo
  echo "echo \$? >$(printf '%q' "$job/status")"
} >"$vmroot$job/run.sh"

# Folders under /tmp that the guest must still see.
keep=()
[[ $PWD == /tmp/* ]] && keep+=("$PWD")
[[ $root == /tmp/* ]] && keep+=("$root")
IFS=: read -r -a extra <<<"${LS_VM32_KEEP:-}"
for k in "${extra[@]}"; do [[ $k == /tmp/* ]] && keep+=("$k"); done
keep_arg=$(IFS=:; echo "${keep[*]}")

cpus=${LS_VM32_CPUS:-$(nproc)}
((cpus <= 4)) || cpus=4
started=$SECONDS
set +e
# The CPU without the features that make the guest kernel fault on Wine's page faults; no network.
qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-la57,-pku,-smap,-smep -smp "$cpus" \
  -m "${LS_VM32_MEMORY:-6144}" -display none -monitor none -serial stdio -nic none -no-reboot \
  -kernel "$boot/vmlinuz" -initrd "$boot/initramfs.gz" \
  -append "console=ttyS0 quiet loglevel=1 panic=-1 ls_job=$job ls_keep=$keep_arg" \
  -virtfs local,path="${vmroot:-/}",mount_tag=host,security_model=passthrough,multidevs=remap,id=host \
  </dev/null | sed -u 's/\r//g'
set -e
if [ ! -f "$vmroot$job/status" ]; then
  cannot "the virtual machine ended after $((SECONDS - started)) s without running the command to its end"
fi
exit "$(cat "$vmroot$job/status")"
