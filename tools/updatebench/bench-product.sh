# Sourced by the update benchmarks: publishes the benchmark's product
# (make-product.py: 2,000 resources, 200 MiB) once into a cache folder and
# sets CACHE (its tree is $CACHE/tree, its manifest $CACHE/manifest.txt),
# PRODUCT and VERSION. Needs NGINX_WORK (loopback-nginx.sh), VELMOR_WINE
# (wine-env.sh) and PUBLISHER. The cache is
# ${VELMOR_BENCH_CACHE:-~/.cache/velmor-bench}/updatebench-<key>, the key
# following the generator and the publisher's sources.
bench_product() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  local key
  key=$(cat "$here/make-product.py" "$here"/../publisher/* | sha1sum | cut -c1-12)
  CACHE=${VELMOR_BENCH_CACHE:-$HOME/.cache/velmor-bench}/updatebench-$key
  if [ ! -f "$CACHE/published" ]; then
    echo "publishing the product into $CACHE (not timed) ..."
    rm -rf "$CACHE"
    mkdir -p "$CACHE"
    python3 "$here/make-product.py" "$NGINX_WORK/resources" "$CACHE/manifest.txt"
    "$VELMOR_WINE" "$PUBLISHER" "Z:$CACHE/manifest.txt" "Z:$NGINX_WORK/resources" "Z:$CACHE/tree" \
      | tail -n1
    rm -rf "$NGINX_WORK/resources"
    touch "$CACHE/published"
  fi
  PRODUCT=$(awk '$1 == "product" { print $2 }' "$CACHE/manifest.txt")
  VERSION=$(awk '$1 == "serverversion" { print $2 }' "$CACHE/manifest.txt")
}
